// Move codes: the three characters in front of every move name that say which body part performs
// the move and what kind of move it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace momiru::battle {

enum class MoveKind : std::uint8_t { Normal, Repeat, Special };

// What the battle needs to know about one move name. Characters are counted as the save data's
// characters (code points of the UTF-8 text), not bytes, so a Japanese first character never
// passes for a code letter.
struct MoveCode {
  std::int8_t part = -1;  // 0..3 for "H", "A", "L", "B"; -1 for any other first character
  bool blank = false;     // the first character is "-": an empty slot, never chosen
  MoveKind kind = MoveKind::Normal;  // "R-" repeat, "-S" special, anything else normal
  // The display name: from the 4th character on, at most 999 characters, as a byte range.
  std::uint32_t displayOffset = 0;
  std::uint32_t displayLength = 0;

  std::string_view displayName(std::string_view name) const {
    return name.substr(displayOffset, displayLength);
  }
};

// The body part index of a code letter, or -1.
constexpr int partOfLetter(char32_t c) {
  switch (c) {
    case U'H':
      return 0;
    case U'A':
      return 1;
    case U'L':
      return 2;
    case U'B':
      return 3;
    default:
      return -1;
  }
}

MoveCode parseMoveCode(std::string_view name);

}  // namespace momiru::battle

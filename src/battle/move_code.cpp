// Reading the code characters of a move name.
#include "battle/move_code.h"

namespace momiru::battle {
namespace {

// Length in bytes of the character starting at `lead`; a stray byte counts as one character so
// that malformed text still advances.
std::size_t charLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC0 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  return 1;
}

// The character at `pos` as a code point (only ASCII matters to move codes; others map to a
// value no code letter has) and its length, clipped to the end of the text.
struct Char {
  char32_t cp;
  std::size_t length;
};

Char charAt(std::string_view s, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  std::size_t n = charLength(lead);
  if (n > s.size() - pos) n = s.size() - pos;
  return {lead < 0x80 ? char32_t{lead} : char32_t{0xFFFD}, n};
}

}  // namespace

MoveCode parseMoveCode(std::string_view name) {
  MoveCode code;
  char32_t c[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int i = 0; i < 3 && pos < name.size(); ++i) {
    const Char ch = charAt(name, pos);
    c[i] = ch.cp;
    pos += ch.length;
  }
  code.part = static_cast<std::int8_t>(partOfLetter(c[0]));
  code.blank = c[0] == U'-';
  if (c[1] == U'R' && c[2] == U'-') {
    code.kind = MoveKind::Repeat;
  } else if (c[1] == U'-' && c[2] == U'S') {
    code.kind = MoveKind::Special;
  }
  const std::size_t start = pos;
  for (int i = 0; i < 999 && pos < name.size(); ++i) pos += charAt(name, pos).length;
  code.displayOffset = static_cast<std::uint32_t>(start);
  code.displayLength = static_cast<std::uint32_t>(pos - start);
  return code;
}

}  // namespace momiru::battle

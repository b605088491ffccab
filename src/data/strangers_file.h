// Files that someone else may have written (replays, battle and tournament pages, tournaments,
// indexes), read one way: bounded as they are read, parsed with bounded nesting, and the one
// element a page carries found as a browser finds it. What goes wrong is a Refusal.
#pragma once

#include <cstddef>
#include <filesystem>
#include <new>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "data/refusal.h"

namespace momiru {

// `text` without a UTF-8 byte order mark at its start.
std::string_view withoutByteOrderMark(std::string_view text);

// Whether `text` is a page rather than JSON: its first character, after a byte order mark and
// white space, is '<'. Nothing while it holds no other character yet.
std::optional<bool> looksLikePage(std::string_view text);

// The bytes of a file of `what` ("replay", "tournament", …): a folder, a FIFO or a device is
// refused without blocking; a file whose size is already past both limits is refused unread; and
// reading stops one byte past `limit`, or past `pageLimit` once the first character shows a page.
std::optional<std::string> readStrangersFile(const std::filesystem::path& file, std::size_t limit,
                                             std::size_t pageLimit, std::string_view what,
                                             Refusal* refusal);

// The document of `text` (nlohmann::json or nlohmann::ordered_json), or nothing with the reason
// in `refusal`: no object or array may open at a depth of `maxDepth` or more (the root is at 0),
// refused as the parser meets it, before anything deeper is built, and running out of memory is a
// refusal, not a crash. The caller caps the text's size first.
template <class Json>
std::optional<Json> parseBoundedJson(std::string_view text, int maxDepth, Refusal* refusal);

// The text of the one element `<script type="application/json" id="ID">` (given whole as
// `openTag`) of a page, found as a browser reads the page, so that nobody is shown another
// tournament or battle than the page carries. Kept strict and simple: the page holds one script
// only; no comment, no CDATA or other declaration but a doctype; the element lies outside every
// other element's text, attribute and picture, with no '<' in it and at most `limit` bytes.
std::optional<std::string_view> pageElementText(std::string_view page, std::string_view openTag,
                                                std::size_t limit, std::string_view what,
                                                Refusal* refusal);

// JSON text as it may stand inside a <script> element of a page that is also XML: '<', '>' and
// '&' (which JSON has only inside strings) as \u escapes, so it holds no "</" and no markup, and
// parses back to the same value.
std::string jsonForPage(std::string_view json);

// The SHA-256 of `bytes`: its 32 bytes, and as lower-case hex.
std::string sha256Bytes(std::string_view bytes);
std::string sha256Hex(std::string_view bytes);

// `bytes` as lower-case hex, two digits a byte.
std::string hexText(std::string_view bytes);

}  // namespace momiru

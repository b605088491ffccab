// Reading and writing settei.sei: the three switches and the battle speed as four decimal CR LF
// lines.
#include "data/settings_file.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>

#include "data/arith.h"
#include "data/platform.h"
#include "data/strangers_file.h"

namespace momiru {

namespace {

constexpr int kEnd = std::char_traits<char>::eof();

// One number as the settings are read: leading spaces skipped, an optional minus sign, digits up
// to a comma or the line end, which is consumed with it. Anything else, an empty value or a value
// outside the 32-bit range is no number.
std::optional<std::int32_t> readNumber(std::streambuf& buf) {
  while (buf.sgetc() == ' ' || buf.sgetc() == '\t') buf.sbumpc();
  const bool negative = buf.sgetc() == '-';
  if (negative) buf.sbumpc();
  std::int64_t value = 0;
  bool digits = false;
  for (int c = buf.sgetc(); c >= '0' && c <= '9'; c = buf.sgetc()) {
    buf.sbumpc();
    digits = true;
    if (value <= std::int64_t{1} << 32) value = value * 10 + (c - '0');  // cannot overflow
  }
  if (!digits) return std::nullopt;
  while (buf.sgetc() == ' ' || buf.sgetc() == '\t') buf.sbumpc();
  const int c = buf.sgetc();
  if (c == ',' || c == '\n') {
    buf.sbumpc();
  } else if (c == '\r') {
    buf.sbumpc();
    if (buf.sgetc() == '\n') buf.sbumpc();
  } else if (c != kEnd) {
    return std::nullopt;
  }
  return toInt32(static_cast<double>(negative ? -value : value));
}

}  // namespace

bool readSettings(Settings& settings, std::istream& in) {
  std::streambuf* buf = in.rdbuf();
  if (buf == nullptr) return false;
  // Some editors begin a saved text file with the UTF-8 byte-order mark; it is not data. Bytes
  // that only start like the mark are no number either, so they end the read as any other text
  // that is no number does.
  if (buf->sgetc() == 0xEF) {
    for (const int expected : {0xEF, 0xBB, 0xBF}) {
      if (buf->sgetc() != expected) return false;
      buf->sbumpc();
    }
  }
  std::int32_t* const targets[] = {&settings.showHitBackground, &settings.halveDamage,
                                   &settings.showMessageBox, &settings.battleSpeed};
  for (;;) {
    // "While the file has unread data": blank space and empty lines after a record are not data.
    for (int c = buf->sgetc(); c == ' ' || c == '\t' || c == '\r' || c == '\n'; c = buf->sgetc())
      buf->sbumpc();
    if (buf->sgetc() == kEnd) return true;
    for (std::int32_t* target : targets) {
      const auto v = readNumber(*buf);
      if (!v) return false;
      *target = *v;
    }
  }
}

bool loadSettings(Settings& settings, const std::filesystem::path& dir) {
  if (dir.empty()) return false;  // no settings folder: nothing is read from the current one
  InputFile file(dir / kSettingsFileName);
  if (file.status() != InputFile::Status::Open) return false;
  std::istream in(&file);
  return readSettings(settings, in);
}

// The old file is replaced only by a complete, flushed new one: the record goes to a temporary
// file beside it, which is synced and then renamed over settei.sei. A crash, a kill or a full
// disk at any point leaves either the old file or the new one, never a torn one.
bool saveSettings(const Settings& settings, RandomUnit& random, const std::filesystem::path& dir,
                  std::int32_t* drawnKey) {
  if (dir.empty()) return false;
  AtomicFile file(dir / kSettingsFileName);
  if (!file.created()) return false;  // like a file that cannot be created: no key is drawn either

  // The key is drawn after the file is created and before anything is written: a save that cannot
  // create its file draws nothing.
  const double draw = std::floor(13.0 * static_cast<double>(random()));
  if (drawnKey != nullptr) *drawnKey = static_cast<std::int32_t>(draw) + 5;

  std::string text;
  for (const std::int32_t v : {settings.showHitBackground, settings.halveDamage,
                               settings.showMessageBox, settings.battleSpeed})
    text += decimal(v) + "\r\n";
  return file.commit(text);
}

void loadSettingsForBattle(Settings& settings, const std::filesystem::path& dir) {
  const Settings before = settings;
  loadSettings(settings, dir);
  if (settings == before && settings.battleSpeed == 0) {
    for (std::size_t i = 0; i < Settings::kSwitches.size(); ++i) {
      settings.*Settings::kSwitches[i] = Settings::kFirstSwitches[i];
    }
    settings.battleSpeed = Settings::kDefaultSpeed;
  }
  for (std::int32_t Settings::*entry : Settings::kSwitches) {
    settings.*entry = settings.*entry != 0 ? 1 : 0;
  }
  settings.battleSpeed =
      std::clamp<std::int32_t>(settings.battleSpeed, Settings::kMinSpeed, Settings::kMaxSpeed);
}

namespace {

// A folder worth offering again: absolute, and nothing a line or a terminal would act on.
bool plainFolder(const std::string& text) {
  if (text.empty() || text.front() != '/') return false;
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

}  // namespace

std::map<std::string, std::filesystem::path> loadFolders(const std::filesystem::path& dir) {
  std::map<std::string, std::filesystem::path> folders;
  if (dir.empty()) return folders;
  const std::optional<std::string> text = readStrangersFile(
      dir / kFoldersFileName, kMaxFoldersBytes, kMaxFoldersBytes, "folders", nullptr);
  if (!text || text->size() > kMaxFoldersBytes) return folders;
  const auto json = parseBoundedJson<nlohmann::json>(*text, 2, nullptr);
  if (!json || !json->is_object()) return folders;
  for (const auto& [kind, folder] : json->items()) {
    if (!folder.is_string()) continue;
    const std::string& value = folder.get_ref<const std::string&>();
    if (plainFolder(value)) folders.emplace(kind, utf8ToPath(value));
  }
  return folders;
}

bool saveFolders(const std::map<std::string, std::filesystem::path>& folders,
                 const std::filesystem::path& dir) {
  if (dir.empty()) return false;
  nlohmann::json json = nlohmann::json::object();
  for (const auto& [kind, folder] : folders) {
    const std::string value = pathToUtf8(folder);
    if (plainFolder(value)) json[kind] = value;
  }
  AtomicFile file(dir / kFoldersFileName);
  if (!file.created()) return false;
  return file.commit(json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace momiru

// The settings file "settei.sei": three switches and the battle speed, four CR LF lines; and
// beside it, the file dialogs' last folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <string>

#include "data/game_state.h"

namespace momiru {

inline constexpr const char* kSettingsFileName = "settei.sei";

// Reads `dir`/settei.sei into the three switches and the battle speed of `settings`. Each value is
// assigned as soon as it is read; a read that stops keeps what it has read; several records leave
// the last one. Returns false when the file could not be opened, is not a regular file, `dir` is
// empty (no settings folder) or a value could not be read (never reported to the player; tools and
// tests look at it).
bool loadSettings(Settings& settings, const std::filesystem::path& dir);

// The reading half of loadSettings, on any stream (the fuzzer and the tests feed it bytes).
bool readSettings(Settings& settings, std::istream& in);

// The settings file's switches and speed for a battle that skips the options screen, brought
// into the values the options screen's controls can hold (switches 0 or 1, the speed within
// Settings::kMinSpeed..kMaxSpeed); the values that screen first shows when no settings file
// has been read.
void loadSettingsForBattle(Settings& settings, const std::filesystem::path& dir);

// Draws a fresh save key, floor(13 × random()) + 5, put in `drawnKey` when given, and writes
// `settings` as one record to `dir`/settei.sei, atomically: a failed write leaves the old file
// whole. A settings file that cannot be written (read-only, another user's, not a regular file) or
// an empty `dir` fails before the key is drawn. The settings in memory are never touched.
bool saveSettings(const Settings& settings, RandomUnit& random, const std::filesystem::path& dir,
                  std::int32_t* drawnKey = nullptr);

// The folders the game's file dialogs last used, one a kind of dialog ("save *.html", ...), kept
// in `dir`/folders.json beside settei.sei, which stays the four lines it always was. The file
// is the game's own: a JSON object of strings, read whole up to kMaxFoldersBytes; a value that is
// no string, no absolute path, or holds a control character is left out, and a file that is not
// such an object (or not there, or a FIFO) gives none. Saving writes them all, atomically; false
// when the file cannot be written or `dir` is empty.
inline constexpr const char* kFoldersFileName = "folders.json";
inline constexpr std::size_t kMaxFoldersBytes = 64 * 1024;
std::map<std::string, std::filesystem::path> loadFolders(const std::filesystem::path& dir);
bool saveFolders(const std::map<std::string, std::filesystem::path>& folders,
                 const std::filesystem::path& dir);

}  // namespace momiru

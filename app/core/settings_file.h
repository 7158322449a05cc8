#pragma once

#include <chrono>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>

#include "app/core/settings.h"

namespace core {

// Reads and writes the persisted fields of Settings as one JSON object in
// "usersettings.json" inside the per-user data folder, with the read-only
// fallback "settings.json" in the working directory. Progress and errors go to
// the given standard streams with the prefix "[Settings] ".
//
// A "usersettings.json" that fails to load is never silently replaced: the first
// save after that copies it byte for byte to "usersettings.json.broken" (or, when
// that name is taken, the same name with a time stamp) before writing, and writes
// nothing when the copy cannot be made.
class SettingsFile {
 public:
  using FolderLookup = std::function<std::string()>;
  using WallClock = std::function<std::chrono::system_clock::time_point()>;

  // `dataFolder` is asked for the folder (and creates it) each time a path is built;
  // `now` dates the name of a kept copy.
  explicit SettingsFile(
      FolderLookup dataFolder, std::string fallbackPath = "settings.json", std::ostream& out = std::cout,
      std::ostream& err = std::cerr, WallClock now = [] { return std::chrono::system_clock::now(); });

  // True when a file was read to its end without error. A member of the wrong type
  // stops the load: fields read before it keep their new values, the rest keep theirs.
  // A number that is not finite or that its field cannot hold is refused on its own:
  // that field keeps its value, the later keys are still read, and the load fails.
  bool load(Settings& settings);
  // True when the file was written. Saves from several threads are serialised, and
  // the file is replaced atomically, so a failed save leaves the previous file whole.
  // After a failed load the damaged file is kept first; false when that fails. No
  // value fails a save: text that is not UTF-8 is written repaired, and a float that
  // is not finite is written as its default.
  bool save(const Settings& settings);

  // The path of "usersettings.json" (creates the data folder).
  std::string path() const;

 private:
  // `fromUserFile` tells whether "usersettings.json" was the file read.
  bool loadFrom(Settings& settings, bool& fromUserFile);
  // Copies the damaged file at `path` to a free ".broken" name; true when it is
  // kept or there is nothing left to keep. Called with saveMutex_ held.
  bool keepDamagedFile(const std::string& path);

  FolderLookup dataFolder_;
  std::string fallbackPath_;
  std::ostream& out_;
  std::ostream& err_;
  WallClock now_;
  std::mutex saveMutex_;
  bool keepBeforeWriting_ = false;  // the user's file did not load; guarded by saveMutex_
};

// The serialised text of the persisted fields: sorted keys, 4-space indent, no
// trailing newline, "\n" line ends (the caller converts to the platform's).
std::string serializeSettings(const Settings& settings);

}  // namespace core

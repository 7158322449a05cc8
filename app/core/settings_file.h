#pragma once

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
class SettingsFile {
 public:
  using FolderLookup = std::function<std::string()>;

  // `dataFolder` is asked for the folder (and creates it) each time a path is built.
  explicit SettingsFile(FolderLookup dataFolder, std::string fallbackPath = "settings.json",
                        std::ostream& out = std::cout, std::ostream& err = std::cerr);

  // True when a file was read to its end without error. A failing member stops the
  // load: fields read before it keep their new values, the rest keep theirs.
  bool load(Settings& settings);
  // True when the file was written. Saves from several threads are serialised, and
  // the file is replaced atomically, so a failed save leaves the previous file whole.
  bool save(const Settings& settings);

  // The path of "usersettings.json" (creates the data folder).
  std::string path() const;

 private:
  FolderLookup dataFolder_;
  std::string fallbackPath_;
  std::ostream& out_;
  std::ostream& err_;
  std::mutex saveMutex_;
};

// The serialised text of the persisted fields: sorted keys, 4-space indent, no
// trailing newline, "\n" line ends (the caller converts to the platform's).
std::string serializeSettings(const Settings& settings);

}  // namespace core

// Where the settings file "dovekit.ini" lives. Beside the executable where that folder
// can be written (a build tree, a portable copy); where it cannot (an installed program),
// in the user's own configuration folder, so that the settings can still be kept.
#pragma once

#include <functional>
#include <string>

namespace plovant {

using FolderWritableTest = std::function<bool(const std::string& folder)>;

// True when a file can be created in `folder`: found out by creating and removing one,
// which also holds for root and for read-only file systems, where permission bits say
// nothing. False for a missing folder or a file.
bool IsFolderWritable(const std::string& folder);

// The per-user folder of the settings file: the user's configuration folder followed
// by "plovant" (e.g. ~/.config/plovant). Empty when the system names none.
std::string UserSettingsFolder();

// The settings file the viewer reads and writes:
// - the file in `program_folder` when that folder is writable;
// - otherwise the file in `user_folder`, which is created (with its folders) when it
//   does not exist yet, as a copy of the file in `program_folder` when there is one,
//   so an installed viewer starts from the settings installed beside it. Where nothing
//   can be created there, the file's name is still given and reading falls back to the
//   defaults.
// An empty `user_folder` keeps the program folder's file.
std::string ChooseSettingsFile(const std::string& program_folder, const std::string& user_folder,
                               const FolderWritableTest& writable = IsFolderWritable);

// The settings file a reader that never writes uses (the command-line tool): the
// program folder's when that folder is writable or the per-user file does not exist,
// the per-user file otherwise. Creates nothing.
std::string FindSettingsFile(const std::string& program_folder, const std::string& user_folder,
                             const FolderWritableTest& writable = IsFolderWritable);

}  // namespace plovant

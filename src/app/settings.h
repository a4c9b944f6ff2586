// The program's settings: the game's data folder, kept in the one-line settings file
// "dovekit.ini" beside the executable, and the render switches, which live in memory only
// and start from fixed defaults at every start.
#pragma once

#include <string>

namespace plovant {

// The data folder used when the settings file is missing or empty.
inline constexpr char kDefaultDataPath[] = "C:\\Program Files\\Gravity\\RagnarokOnline\\Data";

// Name of the settings file in the executable's folder.
inline constexpr char kSettingsFileName[] = "dovekit.ini";

struct Settings {
    // Folder of the game's data; texture bitmaps lie in its "\texture\" subfolder. Bytes
    // in the system's code page, kept exactly as read from or typed for the file.
    std::string DataPath = kDefaultDataPath;

    // Render switches (never written anywhere).
    bool Textured = true;     // faces drawn with their textures
    bool Smooth = true;       // linear texture magnification (point when off)
    bool Lighting = true;     // shown and changed by the settings dialog only
    bool Wireframe = false;   // wireframe fill (solid when off)
    bool Antialiased = false; // shown and changed by the settings dialog only
    bool ClearDepth = true;   // every frame clears the depth buffer with the colour
};

// Turns the render switches to their start-up values; DataPath is left alone.
void ResetRenderSwitches(Settings& settings);

// Sets settings.DataPath from the settings file at `path` (a file-system path). Never
// fails:
// - A normal file (a regular file whose name does not start with a dot) that holds at
//   least one byte: DataPath becomes its first line, exactly as read, without trimming.
//   The line ends at the first CR or LF (CR LF counts as one end); without either it is
//   the whole file. The file is not changed.
// - A missing file, a file that is not normal, or an empty one: DataPath becomes
//   kDefaultDataPath and SaveSettings writes it. If that write fails, the value is kept
//   in memory and the program goes on without the file.
// - A normal file that cannot be read, or whose first line is longer than any folder
//   name can be (1 MiB): DataPath becomes kDefaultDataPath and the file is left as it is.
// The render switches are not touched.
void LoadSettings(Settings& settings, const std::string& path);

// Writes settings.DataPath followed by CR LF to the file at `path`, creating it or
// replacing its contents. The new contents go to a temporary file in the same folder that
// then takes the file's place, so a failed write leaves the old file whole; where the
// folder does not allow that but the file is writable, the file is rewritten in place.
// A symbolic link is written through, to the file it names. A read-only file is not
// replaced.
//
// Throws plovant::Error when the file cannot be written; its description names the file
// and the reason.
void SaveSettings(const Settings& settings, const std::string& path);

enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The full name of the settings file in `executable_folder` (as ExecutableFolder gives
// it: no trailing separator, except for a root). Windows style appends "\dovekit.ini"
// whatever the folder ends with, so a program in a drive root uses "C:\\dovekit.ini",
// which the file system accepts. Posix style joins with "/" and does not double the "/"
// of the root folder; an empty folder gives the bare file name.
std::string SettingsFilePath(const std::string& executable_folder,
                             PathStyle style = kNativePathStyle);

}  // namespace plovant

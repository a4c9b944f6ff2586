// The file dialog and the message boxes, reached through one small interface so that
// the windows never depend on how they are shown. The viewer implements it with Qt's
// dialogs (ui/qt_dialogs.h); tests answer it with scripted replies.
//
// A file dialog decides what it shows from names and file kinds alone: it never opens a
// file to look at its contents (a file such as /proc/kmsg would block it for good).
#pragma once

#include <optional>
#include <string>

namespace plovant {

// The program's title: the main window's caption before a model is opened, and the
// title of every message box that has none of its own.
inline constexpr char kProgramTitle[] = "Plovant";

// The icon of a message box.
enum class MessageIcon { None, Critical, Exclamation, Information };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows an Open dialog. `filter` is in the form "Description (*.ext)|*.ext", pairs of
    // description and pattern separated by "|". `file_name` is where the dialog starts:
    // a folder followed by a file name or a pattern such as "*.rsm" (folders may be
    // separated by "\"). Any name may be typed, also one of a file that does not exist.
    // Returns the chosen file's full path, or nothing when the user cancels.
    virtual std::optional<std::string> ShowOpen(const std::string& filter,
                                                const std::string& file_name) = 0;

    // Shows a Save dialog, likewise. It asks nothing about existing files.
    virtual std::optional<std::string> ShowSave(const std::string& filter,
                                                const std::string& file_name) = 0;

    // Asks a question with Yes and No buttons (No is the default, and what closing the
    // box answers); true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;

    // Shows a modal message box with an OK button and returns when it is dismissed.
    virtual void ShowMessage(const std::string& title, const std::string& text,
                             MessageIcon icon) = 0;
};

}  // namespace plovant

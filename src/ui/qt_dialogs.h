// The file dialog and message boxes of the viewer, shown with Qt's QFileDialog and
// QMessageBox, modal to a parent window.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <QFileIconProvider>

#include "platform/dialogs.h"

class QFileDialog;
class QWidget;

namespace plovant {

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    std::optional<std::string> ShowOpen(const std::string& filter,
                                        const std::string& file_name) override;
    std::optional<std::string> ShowSave(const std::string& filter,
                                        const std::string& file_name) override;
    void ShowMessage(const std::string& title, const std::string& text,
                     MessageIcon icon) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;

private:
    std::optional<std::string> ShowFileDialog(bool save, const std::string& filter,
                                              const std::string& file_name);
    QWidget* parent_;
};

// Icons and type names for a file dialog, told from a file's name and kind alone. Qt's
// own provider opens a file to guess its type when the name does not tell it, which
// blocks for good on files such as /proc/kmsg.
class NameOnlyIconProvider final : public QFileIconProvider {
public:
    NameOnlyIconProvider();
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
};

// The file dialog QtDialogs shows (not yet shown): Qt's own dialog rather than the
// platform's, whose look-ups cannot be controlled, with `icons` as its icon provider.
// `icons` must outlive the dialog.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, bool save, const std::string& filter,
                                            const std::string& file_name,
                                            NameOnlyIconProvider& icons);

// Turns a filter of "|"-separated description and pattern pairs
// ("Ragnarok Model files (*.rsm)|*.rsm") into Qt's form, one "Description (patterns)"
// per pair joined by ";;". A description that already ends in its patterns in
// brackets is kept as it is; otherwise the patterns are added in brackets. Patterns
// separated by ";" become separated by blanks.
std::string QtFilterFromPipes(std::string_view filter);

// Where a file dialog starts for a file name such as "C:\Data\*.rsm" or
// "/home/a/x.rsm": the folder part (with native separators) and the name part. A
// name part holding a wildcard is a pattern, not a file to preselect.
struct DialogStart {
    std::string folder;
    std::string name;
    bool name_is_pattern = false;
};
DialogStart SplitDialogFileName(std::string_view file_name);

}  // namespace plovant

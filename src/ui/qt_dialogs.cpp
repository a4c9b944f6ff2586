#include "ui/qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>

namespace plovant {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// "*.bmp;*.dib" -> "*.bmp *.dib"
std::string BlankSeparated(std::string_view patterns) {
    std::string result;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string_view::npos) end = patterns.size();
        std::string_view one = Trim(patterns.substr(start, end - start));
        if (!one.empty()) {
            if (!result.empty()) result += ' ';
            result += one;
        }
        start = end + 1;
    }
    return result;
}

}  // namespace

std::string QtFilterFromPipes(std::string_view filter) {
    std::string result;
    size_t start = 0;
    while (start < filter.size()) {
        size_t bar = filter.find('|', start);
        std::string_view description =
            filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
        std::string_view patterns;
        if (bar == std::string_view::npos) {
            start = filter.size();
        } else {
            size_t next = filter.find('|', bar + 1);
            patterns = filter.substr(bar + 1, next == std::string_view::npos ? std::string_view::npos
                                                                             : next - bar - 1);
            start = next == std::string_view::npos ? filter.size() : next + 1;
        }
        std::string blank_patterns = BlankSeparated(patterns);
        std::string entry(Trim(description));
        if (!blank_patterns.empty()) {
            std::string bracketed = "(" + blank_patterns + ")";
            if (!entry.ends_with(bracketed)) {
                if (!entry.empty()) entry += ' ';
                entry += bracketed;
            }
        }
        if (entry.empty()) continue;
        if (!result.empty()) result += ";;";
        result += entry;
    }
    return result;
}

DialogStart SplitDialogFileName(std::string_view file_name) {
    std::string path(file_name);
#ifndef _WIN32
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
#endif
    DialogStart start;
    size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        start.name = path;
    } else {
        start.folder = path.substr(0, slash == 0 ? 1 : slash);
        start.name = path.substr(slash + 1);
    }
    start.name_is_pattern = start.name.find_first_of("*?") != std::string::npos;
    return start;
}

std::optional<std::string> QtDialogs::ShowOpen(const std::string& filter,
                                               const std::string& file_name) {
    return ShowFileDialog(false, filter, file_name);
}

std::optional<std::string> QtDialogs::ShowSave(const std::string& filter,
                                               const std::string& file_name) {
    return ShowFileDialog(true, filter, file_name);
}

NameOnlyIconProvider::NameOnlyIconProvider() { setOptions(DontUseCustomDirectoryIcons); }

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    // Kinds come from the file system's entry (no contents are read); types from the name.
    if (info.isDir()) return QFileIconProvider::icon(info.isRoot() ? Drive : Folder);
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(mime.iconName(), QFileIconProvider::icon(File));
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    if (info.isDir()) return info.isRoot() ? QStringLiteral("Drive") : QStringLiteral("Folder");
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    if (mime.isDefault()) return QStringLiteral("File");
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, bool save, const std::string& filter,
                                            const std::string& file_name,
                                            NameOnlyIconProvider& icons) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    // Qt's own dialog, so that what it looks at is under control; its icons and types
    // from names only, before it lists any folder.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setOption(QFileDialog::DontUseCustomDirectoryIcons, true);
    dialog->setIconProvider(&icons);
    dialog->setNameFilter(QString::fromStdString(QtFilterFromPipes(filter)));
    // Any name may be typed, also one that does not exist; saving asks nothing.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);

    DialogStart start = SplitDialogFileName(file_name);
    QString folder = QString::fromStdString(start.folder);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog->setDirectory(folder);
    if (!start.name.empty() && !start.name_is_pattern) {
        dialog->selectFile(QString::fromStdString(start.name));
    }
    return dialog;
}

std::optional<std::string> QtDialogs::ShowFileDialog(bool save, const std::string& filter,
                                                     const std::string& file_name) {
    NameOnlyIconProvider icons;
    const std::unique_ptr<QFileDialog> dialog =
        MakeFileDialog(parent_, save, filter, file_name, icons);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen.first()).toStdString();
}

void QtDialogs::ShowMessage(const std::string& title, const std::string& text,
                            MessageIcon icon) {
    QMessageBox::Icon qt_icon = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::None: qt_icon = QMessageBox::NoIcon; break;
        case MessageIcon::Critical: qt_icon = QMessageBox::Critical; break;
        case MessageIcon::Exclamation: qt_icon = QMessageBox::Warning; break;
        case MessageIcon::Information: qt_icon = QMessageBox::Information; break;
    }
    QMessageBox box(qt_icon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

bool QtDialogs::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace plovant

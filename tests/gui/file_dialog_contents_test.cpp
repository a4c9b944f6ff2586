// The file dialog lists a folder without opening the files in it: a file whose reading
// blocks (such as /proc/kmsg) must not hang the program. The kernel reports every open
// of a file in a watched folder, which the test collects while the dialog shows the
// folder with icons and types in the detail view.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "ui/qt_dialogs.h"

namespace plovant {
namespace {

// Names of the files opened in one folder since the watch started.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& folder) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() {
        if (fd_ >= 0) close(fd_);
    }
    bool Valid() const { return fd_ >= 0; }
    std::set<std::string> OpenedFiles() {
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                // Reading the folder itself is how it is listed; only files count.
                if (event->len > 0 && !(event->mask & IN_ISDIR)) opened_.insert(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return opened_;
    }

private:
    int fd_ = -1;
    std::set<std::string> opened_;
};

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FileDialogContents, ListsAFolderWithoutOpeningItsFiles) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const std::filesystem::path folder = root.path().toStdString();
    // Names that do not tell their type, which is where a type guess would read them,
    // and names that do.
    Write(folder / "kmsg", "<6>kernel: message\n");
    Write(folder / "picture", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(32, '\0'));
    Write(folder / "document", "%PDF-1.4\n");
    Write(folder / "model.rsm", "GRSM\x01\x04");
    Write(folder / "notes.txt", "text");
    std::filesystem::create_directory(folder / "sub");

    OpenWatch watch(folder.string());
    ASSERT_TRUE(watch.Valid()) << "inotify: " << errno;

    NameOnlyIconProvider icons;
    const std::unique_ptr<QFileDialog> dialog =
        MakeFileDialog(nullptr, false, "All files (*)|*", (folder / "*").string(), icons);
    dialog->setViewMode(QFileDialog::Detail);
    dialog->show();

    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->iconProvider(), &icons);
    const QModelIndex parent = model->index(QString::fromStdString(folder.string()));
    // Wait until the folder is listed with the type of every entry filled in.
    QElapsedTimer clock;
    clock.start();
    auto all_typed = [&] {
        if (model->rowCount(parent) < 6) return false;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            if (model->data(model->index(row, 2, parent)).toString().isEmpty()) return false;
        }
        return true;
    };
    while (!all_typed() && clock.elapsed() < 10000) QTest::qWait(20);
    ASSERT_TRUE(all_typed());
    // Ask for what the dialog paints: the icon and type of every row.
    for (int row = 0; row < model->rowCount(parent); ++row) {
        model->data(model->index(row, 0, parent), Qt::DecorationRole);
        model->data(model->index(row, 2, parent), Qt::DisplayRole);
    }
    QTest::qWait(200);
    dialog->hide();

    EXPECT_EQ(watch.OpenedFiles(), std::set<std::string>{});

    // The types the dialog shows come from names: a folder, a plain file, a text file.
    EXPECT_EQ(icons.type(QFileInfo(QString::fromStdString((folder / "sub").string()))), "Folder");
    EXPECT_EQ(icons.type(QFileInfo(QString::fromStdString((folder / "picture").string()))), "File");
    EXPECT_NE(icons.type(QFileInfo(QString::fromStdString((folder / "notes.txt").string()))),
              "File");
}

TEST(FileDialogContents, QtsOwnDialogIsUsed) {
    NameOnlyIconProvider icons;
    const std::unique_ptr<QFileDialog> dialog =
        MakeFileDialog(nullptr, true, "3DS file (*.3ds)|*.3ds", "x", icons);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->iconProvider(), &icons);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
}

}  // namespace
}  // namespace plovant

// The Qt side of the dialog seam: filters in Qt's form, where a dialog starts, and the
// real QFileDialog and QMessageBox answered while they are open.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "ui/qt_dialogs.h"

namespace plovant {
namespace {

TEST(QtFilterFromPipes, TurnsDescriptionPatternPairsIntoQtFilters) {
    EXPECT_EQ(QtFilterFromPipes("Ragnarok Model files (*.rsm)|*.rsm"), "Ragnarok Model files (*.rsm)");
    EXPECT_EQ(QtFilterFromPipes("3DS file (*.3ds)|*.3ds"), "3DS file (*.3ds)");
    EXPECT_EQ(QtFilterFromPipes("Bitmaps|*.bmp;*.dib|All files (*.*)|*.*"),
              "Bitmaps (*.bmp *.dib);;All files (*.*)");
    EXPECT_EQ(QtFilterFromPipes("Models (*.rsm)|*.RSM"), "Models (*.rsm) (*.RSM)");
    EXPECT_EQ(QtFilterFromPipes(""), "");
}

TEST(SplitDialogFileName, SeparatesTheFolderFromTheNameOrPattern) {
    DialogStart start = SplitDialogFileName("C:\\Data\\*.rsm");
    EXPECT_EQ(start.folder, "C:/Data");
    EXPECT_EQ(start.name, "*.rsm");
    EXPECT_TRUE(start.name_is_pattern);

    start = SplitDialogFileName("/home/me/models/x.rsm");
    EXPECT_EQ(start.folder, "/home/me/models");
    EXPECT_EQ(start.name, "x.rsm");
    EXPECT_FALSE(start.name_is_pattern);

    start = SplitDialogFileName("/x.rsm");
    EXPECT_EQ(start.folder, "/");
    EXPECT_EQ(start.name, "x.rsm");

    start = SplitDialogFileName("model");
    EXPECT_EQ(start.folder, "");
    EXPECT_EQ(start.name, "model");
}

// Runs `act` on the modal dialog as soon as it is open.
template <typename Dialog, typename Act>
void WhenOpen(Act act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

TEST(QtDialogs, TheOpenDialogStartsInTheFolderAndAcceptsATypedName) {
    QTemporaryDir dir;
    QtDialogs dialogs(nullptr);
    QString seen_folder;
    QStringList seen_filters;
    WhenOpen<QFileDialog>([&](QFileDialog* d) {
        seen_folder = d->directory().absolutePath();
        seen_filters = d->nameFilters();
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d->fileMode(), QFileDialog::AnyFile);  // a name that does not exist may be typed
        d->selectFile("typed.rsm");
        static_cast<QDialog*>(d)->accept();  // as the Open button does
    });
    const std::optional<std::string> chosen =
        dialogs.ShowOpen("Ragnarok Model files (*.rsm)|*.rsm", dir.path().toStdString() + "\\*.rsm");
    EXPECT_EQ(seen_folder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(seen_filters, QStringList{"Ragnarok Model files (*.rsm)"});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QDir(dir.path()).absoluteFilePath("typed.rsm").toStdString());
}

TEST(QtDialogs, CancellingTheSaveDialogGivesNothing) {
    QtDialogs dialogs(nullptr);
    WhenOpen<QFileDialog>([](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite));
        d->reject();
    });
    EXPECT_FALSE(dialogs.ShowSave("3DS file (*.3ds)|*.3ds", "/tmp/x.rsm").has_value());
}

TEST(QtDialogs, AMessageBoxShowsTitleTextAndIcon) {
    QtDialogs dialogs(nullptr);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.ShowMessage("Error Rendering...", "No error occurred. ", MessageIcon::Critical);
    EXPECT_EQ(title, "Error Rendering...");
    EXPECT_EQ(text, "No error occurred. ");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtDialogs, AQuestionIsYesOnlyWhenYesIsPressed) {
    QtDialogs dialogs(nullptr);
    QString text;
    WhenOpen<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(dialogs.AskYesNo("Plovant", "m.3ds already exists."));
    EXPECT_EQ(text, "m.3ds already exists.");

    WhenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(dialogs.AskYesNo("Plovant", "again"));
    // Closing the box (Escape) is No.
    WhenOpen<QMessageBox>([](QMessageBox* box) { box->reject(); });
    EXPECT_FALSE(dialogs.AskYesNo("Plovant", "again"));
}

}  // namespace
}  // namespace plovant

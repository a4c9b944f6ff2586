#include "ui/info_window.h"

#include <QPlainTextEdit>

#include "ui/twips.h"

namespace plovant {

namespace {
// Client area and text box of the window, in twips.
constexpr int kClientWidth = 3810, kClientHeight = 2190;
constexpr int kTextWidth = 3830, kTextHeight = 2175;
// Gap between the main window's right edge and this window.
constexpr int kGapTwips = 100;
// The vertical place is the window system's choice; we choose below the textures
// window (4200 twips high, standing level with the main window), with room for its
// title bar, so that the two do not cover each other.
constexpr int kTopBelowOwnerTwips = 4200 + 600;
}  // namespace

InfoWindow::InfoWindow(QWidget* owner, std::function<std::string()> text_source)
    : QWidget(owner, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      text_source_(std::move(text_source)),
      txtInfo_(new QPlainTextEdit(this)) {
    setObjectName("frmInfo");
    setWindowTitle("Information");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

    txtInfo_->setObjectName("txtInfo");
    txtInfo_->setGeometry(TwipsRect(0, 0, kTextWidth, kTextHeight));
    txtInfo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtInfo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtInfo_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A summary to read and copy from; InfoRefresh rebuilds it whole.
    txtInfo_->setReadOnly(true);

    InfoRefresh();
    if (owner) {
        const QRect outer = owner->frameGeometry();
        move(outer.x() + outer.width() + TwipsToPixels(kGapTwips),
             outer.y() + TwipsToPixels(kTopBelowOwnerTwips));
    }
}

void InfoWindow::InfoRefresh() {
    SetText({});
    SetText(text_source_ ? text_source_() : std::string());
}

void InfoWindow::AppendLine(const std::string& line) { SetText(text_ + line + "\r\n"); }

void InfoWindow::SetText(std::string text) {
    text_ = std::move(text);
    // The text box shows the lines; a CR LF pair is one line end.
    QString shown = QString::fromStdString(text_);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtInfo_->setPlainText(shown);
}

}  // namespace plovant

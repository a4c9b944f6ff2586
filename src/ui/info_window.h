// frmInfo, the information window: a plain-text summary of the open model in one
// multi-line text box. Its text is rebuilt by InfoRefresh, which the open flow calls
// after every open and which also runs when the window is created; showing the window
// does not rebuild it.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

class QPlainTextEdit;

namespace plovant {

class InfoWindow : public QWidget {
    Q_OBJECT

public:
    // The text source builds the whole summary (UTF-8, lines ended by CR LF) from the
    // model and the file dialog's current file name. The window is a tool window owned
    // by `owner`, placed to the right of it; it is deleted when its close box is used.
    InfoWindow(QWidget* owner, std::function<std::string()> text_source);

    // Empties the text box and fills it with the text source's summary.
    void InfoRefresh();
    // Appends `line` followed by CR LF to the text box's content.
    void AppendLine(const std::string& line);

    // The text box's content exactly as built (UTF-8, CR LF line ends).
    const std::string& Text() const { return text_; }
    QPlainTextEdit* txtInfo() const { return txtInfo_; }

private:
    void SetText(std::string text);

    std::function<std::string()> text_source_;
    std::string text_;
    QPlainTextEdit* txtInfo_;
};

}  // namespace plovant

// The Stack pane: the frame listing as read-only text; Enter or a
// double-click on a line with "line=" opens that source line.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>

class Korl_StackWindow : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Korl_StackWindow(QWidget* parent = nullptr);

    // The listing as gdb's frames give it ("\r\n" line ends).
    void SetStackText(const std::string& text);
    // Called with the caret's line (at most 255 characters).
    void SetGoToSource(std::function<void(const std::string& line)> fn) { goToSource_ = std::move(fn); }
    void GoToSource();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    std::function<void(const std::string&)> goToSource_;
};

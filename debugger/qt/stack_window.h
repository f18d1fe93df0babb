// The Stack pane: one line per frame ("N  function  file:line" or
// "N  function  in library"), read-only; Enter or a double-click on a
// frame with source opens that source line.
#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "debugger/stop_record.h"

class Korl_StackWindow : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Korl_StackWindow(QWidget* parent = nullptr);

    // The frames of the last listing; file names by the project rule.
    void SetFrames(const std::vector<korl::StackFrame>& frames, const std::string& projectDir);
    const std::vector<korl::StackFrame>& Frames() const { return frames_; }
    // Called with the frame under the caret when it has source.
    void SetGoToSource(std::function<void(const korl::StackFrame& frame)> fn) { goToSource_ = std::move(fn); }
    void GoToSource();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    std::function<void(const korl::StackFrame&)> goToSource_;
    std::vector<korl::StackFrame> frames_;
};

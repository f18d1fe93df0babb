#pragma once
// The frame's pane contents that belong to the shell: the Compile pane, the
// Virtual Console and the empty stand-ins the browsers and the debugger
// replace with their own windows (Korl_MainFrame::SetPaneWidget).
#include <QPlainTextEdit>
#include <QTreeWidget>
#include "editor/output_control.h"
#include <algorithm>
#include <functional>
#include <string>

// Build output in the "CompileOut" colouring: read-only except for
// navigation; Enter or a double click asks to jump to the line's source.
class Korl_CompileWindow : public Korl_OutputControl {
    Q_OBJECT
public:
    explicit Korl_CompileWindow(QWidget* parent = nullptr);

    // Text whose lines end in "\r\n"; goes at the end, the caret follows.
    void Append(const QString& text);
    void Clear();
    QString AllText() const { return text(); }

Q_SIGNALS:
    void jumpRequested(const QString& lineText);
};

// The Virtual Console: what the simulation prints, and the keys typed for it.
class Korl_OutputWindow : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit Korl_OutputWindow(QWidget* parent = nullptr);

    void AppendConsole(const QString& text);
    void AppendConsoleLine(const QString& text);
    void ClearConsole();

    // Receives each typed character while a run takes input; none = typing
    // only changes the pane.
    void SetInputSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
    bool HasInputSink() const { return bool(sink_); }
    // The character last typed (what the input side forwards).
    const std::string& PendingKeystroke() const { return pending_; }
    // Lines kept; beyond it the oldest go and the first line says how many.
    void SetLineLimit(int lines) { lineLimit_ = std::max(lines, 10); }
    long long DroppedLines() const { return dropped_; }

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::function<void(const std::string&)> sink_;
    std::string pending_;
    bool lastWasCr_ = false;
    int lineLimit_ = 1000000;
    long long dropped_ = 0;
    void DropOldest();
};

// Empty tree for the panes whose content arrives with other parts; shows a
// short grey hint while empty.
class Korl_PlaceholderTree : public QTreeWidget {
    Q_OBJECT
public:
    Korl_PlaceholderTree(const QString& hint, const QStringList& columns, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString hint_;
};

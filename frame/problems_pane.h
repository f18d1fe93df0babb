#pragma once
// The Problems pane: the last build's errors and warnings as one list (file,
// line, message), sorted by file and line; double-click or Enter jumps.
#include <QTreeWidget>

#include "editor/editor_document.h"

class Korl_ProblemsWindow : public QTreeWidget {
    Q_OBJECT
public:
    // Data role of an item: its index into Problems().
    static constexpr int kIndexRole = Qt::UserRole + 1;

    explicit Korl_ProblemsWindow(QWidget* parent = nullptr);

    // Replaces the list; `projectDirectory` shortens the file names shown.
    void SetProblems(const QList<Korl_FileProblem>& problems, const QString& projectDirectory);
    // In the order shown: by file, then line; problems without a place last.
    const QList<Korl_FileProblem>& Problems() const { return problems_; }
    // "2 errors, 1 warning" for the pane's caption; empty without problems.
    QString Summary() const;
    void Activate(QTreeWidgetItem* item);

Q_SIGNALS:
    // A problem with a place was chosen (1-based line).
    void jumpRequested(const QString& file, int line);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    QList<Korl_FileProblem> problems_;
};

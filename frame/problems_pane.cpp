#include "frame/problems_pane.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

Korl_ProblemsWindow::Korl_ProblemsWindow(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("ProblemsWindow");
    setColumnCount(3);
    setHeaderLabels({"File", "Line", "Message"});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setFrameShape(QFrame::NoFrame);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    setColumnWidth(0, 220);
    // Double-click jumps; Enter is handled below so that it works on every style.
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { Activate(item); });
}

void Korl_ProblemsWindow::SetProblems(const QList<Korl_FileProblem>& problems,
                                      const QString& projectDirectory) {
    problems_ = problems;
    // Places first, by file and line; messages of one line keep the build's order.
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](const Korl_FileProblem& a, const Korl_FileProblem& b) {
                         if (a.file.isEmpty() != b.file.isEmpty()) return b.file.isEmpty();
                         if (a.file != b.file) return a.file < b.file;
                         return a.line < b.line;
                     });
    clear();
    const QIcon errorIcon = Korl_EditControl::ProblemIcon(true);
    const QIcon warningIcon = Korl_EditControl::ProblemIcon(false);
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < problems_.size(); ++i) {
        const Korl_FileProblem& p = problems_[i];
        QString file = p.file;
        if (!projectDirectory.isEmpty() && file.startsWith(projectDirectory))
            file = file.mid(projectDirectory.size());
        auto* item = new QTreeWidgetItem(
            {file, p.line > 0 ? QString::number(p.line) : QString(), p.message.trimmed()});
        item->setIcon(0, p.error ? errorIcon : warningIcon);
        item->setToolTip(0, p.file);
        item->setToolTip(2, p.message);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, kIndexRole, i);
        items << item;
    }
    addTopLevelItems(items);
    if (!items.isEmpty()) setCurrentItem(items.first());
}

QString Korl_ProblemsWindow::Summary() const {
    const auto errors = std::count_if(problems_.begin(), problems_.end(), [](auto& p) { return p.error; });
    const auto warnings = problems_.size() - errors;
    if (problems_.isEmpty()) return QString();
    auto count = [](qsizetype n, const char* word) {
        return QString("%1 %2%3").arg(n).arg(word).arg(n == 1 ? "" : "s");
    };
    return count(errors, "error") + ", " + count(warnings, "warning");
}

void Korl_ProblemsWindow::Activate(QTreeWidgetItem* item) {
    if (!item) return;
    const int i = item->data(0, kIndexRole).toInt();
    if (i < 0 || i >= problems_.size() || problems_[i].file.isEmpty()) return;
    Q_EMIT jumpRequested(problems_[i].file, problems_[i].line);
}

void Korl_ProblemsWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Activate(currentItem());
        e->accept();
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

// The model's headers come before any Qt header (see browsers.h).
#include "scparse/design_model.h"

#include "base/qt/strings.h"
#include "scparse/elaborate.h"
#include "scparse/qt/browsers.h"

#include <QContextMenuEvent>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>

#include "app/mainframe.h"
#include "scparse/qt/browsericons.h"

using namespace scparse;

namespace {

using korl::Q;

constexpr struct {
    int id;
    const char* text;
} kBrowseMenu[] = {
    {kGotoDeclaration, "Goto &Declaration"},
    {kGotoImplementation, "Goto &Implementation"},
    {kGotoInstantiation, "Goto &Instantiation"},
    {kGotoRegisteration, "Goto &Registeration"},
};

QString ToolTip(const BrowserNode& node) {
    QString kind = QString::fromLatin1(imageName(node.image));
    if (!node.record) return kind;
    const DesignItem& r = *node.record;
    const QString where = r.file.empty() || r.line <= 0 ? QStringLiteral("location unknown")
                                                        : Q(r.file) + ':' + QString::number(r.line);
    return kind + QStringLiteral(" \u2014 ") + where;
}

} // namespace

// ---------------------------------------------------------------------------

Korl_BrowserTreeWindow::Korl_BrowserTreeWindow(BrowserTree tree, QWidget* parent)
    : QTreeWidget(parent), tree_(tree) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Selection stays visible while another window has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight).lighter(130));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    // Labels can be edited (F2) for notes while browsing; the model never changes.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setExpandsOnDoubleClick(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

int Korl_BrowserTreeWindow::ItemImage(const QTreeWidgetItem* item) {
    return item ? item->data(0, ImageRole).toInt() : -1;
}

std::shared_ptr<DesignItem> Korl_BrowserTreeWindow::ItemRecord(const QTreeWidgetItem* item) const {
    if (!item) return {};
    bool ok = false;
    const qulonglong index = item->data(0, RecordRole).toULongLong(&ok);
    return ok && index < records_.size() ? records_[index] : nullptr;
}

QList<int> Korl_BrowserTreeWindow::MenuCommands(const QTreeWidgetItem* item) const {
    QList<int> out;
    if (!item) return out;
    const std::vector<int> allowed = contextCommands(tree_, ItemImage(item));
    for (const auto& c : kBrowseMenu)
        if (std::find(allowed.begin(), allowed.end(), c.id) != allowed.end()) out << c.id;
    return out;
}

void Korl_BrowserTreeWindow::FillNodes(const std::vector<BrowserNode>& nodes, const std::string& projectDir) {
    clear();
    records_.clear();
    expand_.clear();
    projectDir_ = projectDir;
    setUpdatesEnabled(false);
    for (const BrowserNode& n : nodes) addTopLevelItem(AddNode(n, nullptr));
    // Expanding after insertion: an item not yet in the tree cannot expand.
    for (QTreeWidgetItem* item : expand_) item->setExpanded(true);
    expand_.clear();
    setUpdatesEnabled(true);
}

QTreeWidgetItem* Korl_BrowserTreeWindow::AddNode(const BrowserNode& node, QTreeWidgetItem* parent) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem();
    item->setText(0, Q(node.text));
    item->setIcon(0, Korl_BrowserIcon(node.image));
    item->setData(0, ImageRole, node.image);
    item->setData(0, RecordRole, qulonglong(records_.size()));
    item->setToolTip(0, ToolTip(node));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    records_.push_back(node.record);
    for (const BrowserNode& child : node.children) AddNode(child, item);
    if (node.expanded) expand_.push_back(item);
    return item;
}

void Korl_BrowserTreeWindow::Goto(int command) {
    const std::shared_ptr<DesignItem> record = ItemRecord(currentItem());
    if (!record) return;
    SourceLocation location = jumpLocation(*record, command);
    // An unknown body (no file, line 0) still opens the declaring file, with
    // the caret left where it is (line -1).
    if (location.file.empty()) location.file = record->file;
    if (location.file.empty()) return;
    const JumpTarget target = resolveJump(location, projectDir_);
    emit gotoRequested(Q(target.fullPath), Q(target.shortName), target.line0);
}

void Korl_BrowserTreeWindow::ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos) {
    const QList<int> commands = MenuCommands(item);
    if (commands.isEmpty()) return;
    setCurrentItem(item);
    QMenu menu(QStringLiteral("&Browse"), this);
    for (const auto& c : kBrowseMenu) {
        if (!commands.contains(c.id)) continue;
        QAction* a = menu.addAction(QString::fromLatin1(c.text));
        a->setData(c.id);
        connect(a, &QAction::triggered, this, [this, id = c.id] { Goto(id); });
    }
    menu.exec(globalPos);
}

void Korl_BrowserTreeWindow::contextMenuEvent(QContextMenuEvent* e) {
    if (e->reason() == QContextMenuEvent::Keyboard) {
        // The menu key acts on the selected item.
        QTreeWidgetItem* item = currentItem();
        if (item) ShowMenu(item, viewport()->mapToGlobal(visualItemRect(item).bottomLeft()));
        return;
    }
    // A click in the tree arrives in viewport coordinates.
    QTreeWidgetItem* item = itemAt(e->pos());
    if (item) ShowMenu(item, e->globalPos());
}

void Korl_BrowserTreeWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeWidgetItem* item = e->button() == Qt::LeftButton ? itemAt(e->position().toPoint()) : nullptr;
    if (!item) {
        QTreeWidget::mouseDoubleClickEvent(e);
        return;
    }
    setCurrentItem(item);
    Goto(kGotoDeclaration);
    e->accept();
}

void Korl_BrowserTreeWindow::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        state() != QAbstractItemView::EditingState && currentItem()) {
        Goto(kGotoDeclaration);
        e->accept();
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------------------

Korl_DBrowserWindow::Korl_DBrowserWindow(QWidget* parent)
    : Korl_BrowserTreeWindow(BrowserTree::Design, parent) {
    setObjectName(QStringLiteral("DesignBrowserWindow"));
}

void Korl_DBrowserWindow::Fill(const std::shared_ptr<ModuleRecord>& root, const std::string& projectDir) {
    root_ = root;
    FillNodes(fillDesignBrowser(root), projectDir);
}

Korl_SourceBrowserWindow::Korl_SourceBrowserWindow(QWidget* parent)
    : Korl_BrowserTreeWindow(BrowserTree::Source, parent) {
    setObjectName(QStringLiteral("SourceBrowserWindow"));
}

void Korl_SourceBrowserWindow::Fill(const std::vector<std::shared_ptr<ModuleRecord>>& modules,
                                    const std::vector<std::shared_ptr<ClassRecord>>& classes,
                                    const std::string& projectDir) {
    modules_ = modules;
    classes_ = classes;
    FillNodes(fillSourceBrowser(modules_, classes_), projectDir);
}

// ---------------------------------------------------------------------------

Korl_Browsers::Korl_Browsers(Korl_MainFrame& frame)
    : QObject(&frame), frame_(frame), model_(std::make_unique<DesignModel>()) {
    design_ = new Korl_DBrowserWindow(frame.PaneDock(Korl_MainFrame::DesignBrowserPane));
    source_ = new Korl_SourceBrowserWindow(frame.PaneDock(Korl_MainFrame::SourceBrowserPane));
    frame.SetPaneWidget(Korl_MainFrame::DesignBrowserPane, design_);
    frame.SetPaneWidget(Korl_MainFrame::SourceBrowserPane, source_);
    // The same open-at-line path the Compile pane's jumps take.
    for (Korl_BrowserTreeWindow* tree :
         {static_cast<Korl_BrowserTreeWindow*>(design_), static_cast<Korl_BrowserTreeWindow*>(source_)})
        connect(tree, &Korl_BrowserTreeWindow::gotoRequested, &frame,
                [&frame](const QString& path, const QString& title, int line0) {
                    frame.OpenDocument(path, title, line0);
                });
    frame.SetElaborator([this](const korl::BuildResult&) { Elaborate(); });
}

Korl_Browsers::~Korl_Browsers() = default;

bool Korl_Browsers::Elaborate() {
    QElapsedTimer timer;
    timer.start();
    const korl::Project& project = frame_.Project();
    const std::string dir = project.Directory();
    std::vector<ElabSource> sources;
    sources.reserve(project.Sources().size());
    for (const korl::ProjectItem& item : project.Sources())
        sources.push_back({item.directory, item.name, item.includes});

    const ElaborationResult result = runElaboration(*model_, elaborationFileList(sources, dir), dir);
    if (!result.completed) {
        frame_.AppendConsoleLine(Q(result.consoleText));
        if (QDockWidget* dock = frame_.PaneDock(Korl_MainFrame::ConsolePane)) {
            dock->show();
            dock->raise();
        }
        frame_.statusBar()->showMessage(
            QStringLiteral("Elaboration stopped: cannot open %1").arg(Q(result.failedFile)));
        emit elaborated(false);
        return false;
    }

    for (const std::string& skipped : result.skipped) frame_.AppendConsoleLine(Q(skipped));
    design_->Fill(model_->root, dir);
    source_->Fill(model_->modules, model_->classes, dir);
    if (QDockWidget* dock = frame_.PaneDock(Korl_MainFrame::DesignBrowserPane)) {
        dock->show();
        dock->raise();
    }
    const auto modules = std::count_if(model_->modules.begin(), model_->modules.end(),
                                       [](const std::shared_ptr<ModuleRecord>& m) { return m && !m->main; });
    frame_.statusBar()->showMessage(QStringLiteral("Elaboration done in %1 ms: %2 module(s)")
                                        .arg(timer.elapsed())
                                        .arg(qlonglong(modules)));
    emit elaborated(true);
    return true;
}

Korl_Browsers* InstallBrowsers(Korl_MainFrame& frame) { return new Korl_Browsers(frame); }

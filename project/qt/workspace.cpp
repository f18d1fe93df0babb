#include "project/qt/workspace.h"

#include "base/qt/strings.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <QStyle>

#include "project/qt/dialogs.h"

using korl::ItemKind;
using korl::ItemTag;

namespace {

using korl::Q;
using korl::S;

// A page with a coloured corner band naming the file kind.
QIcon FileIcon(const QColor& band, const QString& letter) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        QPainterPath page;
        page.moveTo(3.5, 1.5);
        page.lineTo(10, 1.5);
        page.lineTo(13.5, 5);
        page.lineTo(13.5, 14.5);
        page.lineTo(3.5, 14.5);
        page.closeSubpath();
        p.setPen(QPen(QColor(0x6B, 0x72, 0x80), 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.setPen(Qt::NoPen);
        p.setBrush(band);
        p.drawRoundedRect(QRectF(1, 7.5, 11, 6.5), 1, 1);
        QFont f;
        f.setPixelSize(6);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 7.5, 11, 6.5), Qt::AlignCenter, letter);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon Painted(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

QIcon Korl_WorkspaceIcon(int image) {
    static const QIcon icons[5] = {
        Painted([](QPainter& p) {
            p.setPen(QPen(QColor(0xB4, 0x83, 0x12), 1));
            p.setBrush(QColor(0xF2, 0xC1, 0x4E));
            QPainterPath path;
            path.moveTo(1.5, 3.5);
            path.lineTo(6, 3.5);
            path.lineTo(7.5, 5);
            path.lineTo(14.5, 5);
            path.lineTo(14.5, 13.5);
            path.lineTo(1.5, 13.5);
            path.closeSubpath();
            p.drawPath(path);
        }),
        Painted([](QPainter& p) {
            p.setPen(QPen(QColor(0xB4, 0x83, 0x12), 1));
            p.setBrush(QColor(0xE5, 0xA9, 0x2A));
            QPainterPath back;
            back.moveTo(1.5, 3.5);
            back.lineTo(6, 3.5);
            back.lineTo(7.5, 5);
            back.lineTo(13.5, 5);
            back.lineTo(13.5, 7);
            back.lineTo(1.5, 13.5);
            back.closeSubpath();
            p.drawPath(back);
            p.setBrush(QColor(0xFA, 0xD7, 0x7A));
            p.drawPolygon(
                QPolygonF({QPointF(3.5, 7), QPointF(15.5, 7), QPointF(13, 13.5), QPointF(1.5, 13.5)}));
        }),
        FileIcon(QColor(0x25, 0x63, 0xEB), "C"),
        FileIcon(QColor(0x7C, 0x3A, 0xED), "H"),
        Painted([](QPainter& p) {
            p.setPen(QPen(QColor(0x1E, 0x3A, 0x8A), 1));
            p.setBrush(QColor(0x93, 0xC5, 0xFD));
            p.drawRect(QRectF(1.5, 6.5, 10, 8));
            p.setBrush(QColor(0xBF, 0xDB, 0xFE));
            p.drawPolygon(
                QPolygonF({QPointF(1.5, 6.5), QPointF(4, 3.5), QPointF(14, 3.5), QPointF(11.5, 6.5)}));
            p.setBrush(QColor(0x60, 0xA5, 0xFA));
            p.drawPolygon(
                QPolygonF({QPointF(11.5, 6.5), QPointF(14, 3.5), QPointF(14, 11.5), QPointF(11.5, 14.5)}));
        }),
    };
    return image >= 0 && image < 5 ? icons[image] : QIcon();
}

Korl_WorkspaceWindow::Korl_WorkspaceWindow(korl::Project& project, QWidget* parent)
    : QTreeWidget(parent), project_(project) {
    setObjectName("WorkspaceWindow");
    setHeaderHidden(true);
    setColumnCount(1);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(true);
    listener_ = project_.AddListener([this](korl::ProjectEvent e) { OnProjectEvent(e); });
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* node, int) { OpenNode(node); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        if (node == sources_ || node == headers_) SetImage(node, kImageFolderOpen);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* node) {
        if (node == sources_ || node == headers_) SetImage(node, kImageFolderClosed);
    });

    menu_ = new QMenu("&WorkSpace", this);
    menu_->setObjectName("WorkSpaceMenu");
    QAction* open = menu_->addAction("&Open");
    QAction* remove = menu_->addAction("&Remove");
    QAction* compile = menu_->addAction("&Compile");
    open->setObjectName("WorkSpaceOpen");
    remove->setObjectName("WorkSpaceRemove");
    compile->setObjectName("WorkSpaceCompile");
    connect(open, &QAction::triggered, this, [this] { OpenNode(currentItem()); });
    connect(remove, &QAction::triggered, this, [this] { AskAndRemoveNode(currentItem()); });
    connect(compile, &QAction::triggered, this, [this] { CompileNode(currentItem()); });

    if (project_.IsOpen()) {
        BuildRootAndFolders();
        RebuildFileNodes();
    }
}

Korl_WorkspaceWindow::~Korl_WorkspaceWindow() { project_.RemoveListener(listener_); }

std::optional<ItemTag> Korl_WorkspaceWindow::TagOf(const QTreeWidgetItem* node) {
    if (!node) return std::nullopt;
    const QVariant kind = node->data(0, kTagKindRole);
    if (!kind.isValid()) return std::nullopt;
    return ItemTag{ItemKind(kind.toUInt()), node->data(0, kTagIndexRole).toUInt()};
}

int Korl_WorkspaceWindow::ImageOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, kImageRole).toInt() : -1;
}

void Korl_WorkspaceWindow::SetImage(QTreeWidgetItem* node, int image) {
    node->setData(0, kImageRole, image);
    node->setIcon(0, Korl_WorkspaceIcon(image));
}

QTreeWidgetItem* Korl_WorkspaceWindow::NodeFor(ItemTag tag) const {
    QTreeWidgetItem* folder = tag.kind == ItemKind::Source ? sources_ : headers_;
    if (!folder) return nullptr;
    for (int i = 0; i < folder->childCount(); ++i) {
        auto t = TagOf(folder->child(i));
        if (t && *t == tag) return folder->child(i);
    }
    return nullptr;
}

void Korl_WorkspaceWindow::OnProjectEvent(korl::ProjectEvent e) {
    switch (e) {
        case korl::ProjectEvent::Opened:
            BuildRootAndFolders();
            RebuildFileNodes();
            break;
        case korl::ProjectEvent::Closed:
            clear();
            root_ = sources_ = headers_ = nullptr;
            break;
        case korl::ProjectEvent::FilesChanged:
            if (!removing_) RebuildFileNodes();
            break;
        default:
            break;
    }
}

void Korl_WorkspaceWindow::BuildRootAndFolders() {
    clear();
    root_ = new QTreeWidgetItem(this, {Q(project_.Title())});
    SetImage(root_, kImageProject);
    sources_ = new QTreeWidgetItem(root_, {"Source Files"});
    headers_ = new QTreeWidgetItem(root_, {"Header Files"});
    SetImage(sources_, kImageFolderClosed);
    SetImage(headers_, kImageFolderClosed);
    QFont bold = root_->font(0);
    bold.setBold(true);
    root_->setFont(0, bold);
    root_->setExpanded(true);
}

void Korl_WorkspaceWindow::RebuildFileNodes() {
    if (!root_) BuildRootAndFolders();
    qDeleteAll(sources_->takeChildren());
    qDeleteAll(headers_->takeChildren());
    auto add = [this](QTreeWidgetItem* folder, const std::vector<korl::ProjectItem>& items, ItemKind kind,
                      int image) {
        for (size_t i = 0; i < items.size(); ++i) {
            auto* node = new QTreeWidgetItem(folder, {Q(items[i].name)});
            SetImage(node, image);
            node->setData(0, kTagKindRole, uint(kind));
            node->setData(0, kTagIndexRole, uint(i));
            node->setToolTip(0, Q(items[i].FullPath()));
        }
    };
    add(sources_, project_.Sources(), ItemKind::Source, kImageSource);
    add(headers_, project_.Headers(), ItemKind::Header, kImageHeader);
    headers_->setExpanded(true);
    sources_->setExpanded(true);
    root_->setExpanded(true);
}

void Korl_WorkspaceWindow::OpenNode(QTreeWidgetItem* node) {
    auto tag = TagOf(node);
    if (!tag) return;
    const korl::ProjectItem* item = project_.Item(*tag);
    if (!item) return;
    Q_EMIT openRequested(Q(item->FullPath()), Q(project_.DisplayTitle(*item)));
}

void Korl_WorkspaceWindow::CompileNode(QTreeWidgetItem* node) {
    auto tag = TagOf(node);
    if (!tag || tag->kind != ItemKind::Source) return;
    const korl::ProjectItem* item = project_.Item(*tag);
    if (!item) return;
    Q_EMIT compileRequested(Q(item->FullPath()), Q(project_.DisplayTitle(*item)));
}

void Korl_WorkspaceWindow::RemoveNode(QTreeWidgetItem* node) {
    auto tag = TagOf(node);
    if (!tag) return;
    removing_ = true;
    std::optional<korl::ProjectItem> item = project_.RemoveItem(*tag);
    removing_ = false;
    if (!item) return;
    // The nodes after the removed one move up: their tags follow the list.
    QTreeWidgetItem* folder = node->parent();
    const int at = folder->indexOfChild(node);
    delete node;
    for (int i = at; i < folder->childCount(); ++i) {
        QTreeWidgetItem* n = folder->child(i);
        n->setData(0, kTagIndexRole, n->data(0, kTagIndexRole).toUInt() - 1);
    }
    Q_EMIT itemRemoved(Q(item->FullPath()), Q(project_.DisplayTitle(*item)));
}

void Korl_WorkspaceWindow::AskAndRemoveNode(QTreeWidgetItem* node) {
    if (!TagOf(node)) return;
    const QString text = QString("Remove %1 from the project?\n\nThe file stays on disk.").arg(node->text(0));
    if (korl::AskUnlessSuppressed(this, text, kConfirmRemoveKey)) RemoveNode(node);
}

QMenu* Korl_WorkspaceWindow::ContextMenuFor(QTreeWidgetItem* node) {
    auto tag = TagOf(node);
    if (!tag) return nullptr;
    for (QAction* a : menu_->actions())
        if (a->objectName() == "WorkSpaceCompile") a->setEnabled(tag->kind == ItemKind::Source);
    return menu_;
}

void Korl_WorkspaceWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (TagOf(currentItem())) {
                OpenNode(currentItem());
                return;
            }
            break;
        case Qt::Key_Delete:
            if (TagOf(currentItem())) {
                AskAndRemoveNode(currentItem());
                return;
            }
            break;
        default:
            break;
    }
    QTreeWidget::keyPressEvent(e);
}

void Korl_WorkspaceWindow::contextMenuEvent(QContextMenuEvent* e) {
    QTreeWidgetItem* node = itemAt(viewport()->mapFromGlobal(e->globalPos()));
    if (!node) return;
    setCurrentItem(node);
    if (QMenu* m = ContextMenuFor(node)) m->exec(e->globalPos());
}

// ---------------------------------------------------------------------------

namespace korl {

ClosePrompt MakeClosePrompt(QWidget* parent) {
    return [parent](const std::string& text, PromptButtons buttons) {
        const auto b = buttons == PromptButtons::YesNoCancel
                           ? QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel
                           : QMessageBox::Save | QMessageBox::Discard;
        switch (ShowMessage(parent, Q(text), b, QMessageBox::Question)) {
            case QMessageBox::Save:
                return PromptAnswer::Yes;
            case QMessageBox::Discard:
            case QMessageBox::Ok: // a caller that only acknowledges
                return PromptAnswer::No;
            default:
                return buttons == PromptButtons::YesNoCancel ? PromptAnswer::Cancel : PromptAnswer::No;
        }
    };
}

QString ChooseNewProjectFile(QWidget* parent) {
    FileDialogRequest r;
    r.kind = FileDialogRequest::Save;
    r.caption = "New Project";
    r.filters = ProjectFileFilters();
    r.overwritePrompt = true;
    FileDialogResult res = RunFileDialog(parent, r);
    if (!res.accepted || res.files.isEmpty()) return QString();
    return Q(Project::ProjectFileNameFor(S(res.files.first())));
}

QString ChooseProjectFileToOpen(QWidget* parent) {
    FileDialogRequest r;
    r.kind = FileDialogRequest::OpenOne;
    r.caption = "Open Project";
    r.filters = ProjectFileFilters();
    FileDialogResult res = RunFileDialog(parent, r);
    if (!res.accepted || res.files.isEmpty()) return QString();
    return res.files.first();
}

bool NewProjectDialog(QWidget* parent, Project& project) {
    const QString path = ChooseNewProjectFile(parent);
    if (path.isEmpty()) return false;
    if (!project.NewProject(S(path)) && !project.LastError().empty())
        ShowMessage(parent, Q(project.LastError()), QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

bool OpenProjectDialog(QWidget* parent, Project& project) {
    const QString path = ChooseProjectFileToOpen(parent);
    if (path.isEmpty()) return false;
    if (!project.Load(S(path))) {
        ShowMessage(parent, Q(project.LastError()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

bool AddExistingFilesDialog(QWidget* parent, Project& project) {
    FileDialogRequest r;
    r.kind = FileDialogRequest::OpenMany;
    r.caption = "Add Existing File";
    r.directory = Q(project.Directory());
    r.filters = AddExistingFilters();
    FileDialogResult res = RunFileDialog(parent, r);
    if (!res.accepted) return false;
    std::vector<std::string> paths;
    for (const QString& f : res.files) paths.push_back(S(f));
    const AddFilesResult added = project.AddExistingFiles(paths);
    for (const auto& [path, why] : added.refused)
        ShowMessage(parent, Q("Cannot add " + path + ": " + why + "."), QMessageBox::Ok,
                    QMessageBox::Warning);
    return true;
}

std::optional<AddNewFileResult> AddNewFileDialog(QWidget* parent, Project& project) {
    FileDialogRequest r;
    r.kind = FileDialogRequest::Save;
    r.caption = "Add New File";
    r.directory = Q(project.Directory());
    r.filters = AddNewFileFilters();
    r.overwritePrompt = true;
    FileDialogResult res = RunFileDialog(parent, r);
    if (!res.accepted || res.files.isEmpty()) return std::nullopt;
    AddNewFileResult added = project.AddNewFile(S(res.files.first()), res.filterIndex);
    if (!added.refused.empty()) {
        ShowMessage(parent, Q("Cannot add " + added.path + ": " + added.refused + "."), QMessageBox::Ok,
                    QMessageBox::Warning);
        return std::nullopt;
    }
    return added;
}

} // namespace korl

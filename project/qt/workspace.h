#pragma once
// The Project Browser: the tree of the open project (root, "Source Files",
// "Header Files", one node per file) and the project dialogs.
#include <QTreeWidget>
#include <optional>

#include "project/project.h"

// Node images of the tree.
enum Korl_WorkspaceImage {
    kImageFolderClosed = 0,
    kImageFolderOpen = 1,
    kImageSource = 2,
    kImageHeader = 3,
    kImageProject = 4,
};
QIcon Korl_WorkspaceIcon(int image);

class Korl_WorkspaceWindow : public QTreeWidget {
    Q_OBJECT
public:
    // Data roles of a node: the image index, and for file nodes the tag.
    static constexpr int kImageRole = Qt::UserRole + 1;
    static constexpr int kTagKindRole = Qt::UserRole + 2;
    static constexpr int kTagIndexRole = Qt::UserRole + 3;

    explicit Korl_WorkspaceWindow(korl::Project& project, QWidget* parent = nullptr);
    ~Korl_WorkspaceWindow() override;

    static std::optional<korl::ItemTag> TagOf(const QTreeWidgetItem* node);
    static int ImageOf(const QTreeWidgetItem* node);

    QTreeWidgetItem* RootNode() const { return root_; }
    QTreeWidgetItem* SourceFolder() const { return sources_; }
    QTreeWidgetItem* HeaderFolder() const { return headers_; }
    QTreeWidgetItem* NodeFor(korl::ItemTag tag) const;

    // Opening, removing and compiling a file node (what the keys, the double
    // click and the context menu do).
    void OpenNode(QTreeWidgetItem* node);
    void RemoveNode(QTreeWidgetItem* node);
    // Delete and the menu's Remove: asks first (unless the user said not to).
    void AskAndRemoveNode(QTreeWidgetItem* node);
    static constexpr const char* kConfirmRemoveKey = "ProjectBrowser/RemoveWithoutAsking";
    void CompileNode(QTreeWidgetItem* node);

    // The context menu for a node; null for the root and the folders.
    QMenu* ContextMenuFor(QTreeWidgetItem* node);

Q_SIGNALS:
    void openRequested(const QString& fullPath, const QString& title);
    void compileRequested(const QString& fullPath, const QString& title);
    // After the item has left the project: its editor, if open, should close.
    void itemRemoved(const QString& fullPath, const QString& title);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void OnProjectEvent(korl::ProjectEvent e);
    void BuildRootAndFolders();
    void RebuildFileNodes();
    void SetImage(QTreeWidgetItem* node, int image);

    korl::Project& project_;
    int listener_ = 0;
    bool removing_ = false;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* sources_ = nullptr;
    QTreeWidgetItem* headers_ = nullptr;
    QMenu* menu_ = nullptr;
};

namespace korl {

// Yes/No or Yes/No/Cancel prompt for closing a modified project.
ClosePrompt MakeClosePrompt(QWidget* parent);

// The project file the user chose for New Project (".k1" appended) and for
// Open Project; empty when cancelled.
QString ChooseNewProjectFile(QWidget* parent);
QString ChooseProjectFileToOpen(QWidget* parent);

// The project commands' dialogs; each returns false when the user cancelled.
bool NewProjectDialog(QWidget* parent, Project& project);
bool OpenProjectDialog(QWidget* parent, Project& project);
bool AddExistingFilesDialog(QWidget* parent, Project& project);
// On success the created file (open it in an editor when `created`).
std::optional<AddNewFileResult> AddNewFileDialog(QWidget* parent, Project& project);

} // namespace korl

#pragma once
// The Design Browser and Source Browser panes and Elaborate in the main
// window. Each tree item keeps the model record it shows alive, so an
// elaboration that stops early leaves the previous trees and their jumps
// working while the model itself has been cleared.
#include <QObject>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

// The model's headers name a member "signals", which Qt's keyword macro
// breaks: this header only declares them, sources include them before Qt.
struct DesignItem;
struct ModuleRecord;
struct ClassRecord;
class DesignModel;
namespace scparse {
struct BrowserNode;
enum class BrowserTree;
} // namespace scparse

class Korl_FrameServices;
class QMenu;

// The tree of one browser pane.
class Korl_BrowserTreeWindow : public QTreeWidget {
    Q_OBJECT
public:
    enum Role { RecordRole = Qt::UserRole + 1, ImageRole };

    Korl_BrowserTreeWindow(scparse::BrowserTree tree, QWidget* parent = nullptr);
    scparse::BrowserTree Tree() const { return tree_; }

    static int ItemImage(const QTreeWidgetItem* item);
    std::shared_ptr<DesignItem> ItemRecord(const QTreeWidgetItem* item) const;
    // Commands of the "&Browse" menu for this item, in menu order; none
    // means the item has no menu.
    QList<int> MenuCommands(const QTreeWidgetItem* item) const;
    // Jumps from the selected item (a command of the "&Browse" menu).
    void Goto(int command);

Q_SIGNALS:
    // A jump: full path, short name (the project's display title), 0-based line.
    void gotoRequested(const QString& fullPath, const QString& shortName, int line0);

protected:
    // Replaces every item by the nodes; the records are kept until the next fill.
    void FillNodes(const std::vector<scparse::BrowserNode>& nodes, const std::string& projectDir);
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QTreeWidgetItem* AddNode(const scparse::BrowserNode& node, QTreeWidgetItem* parent);
    void ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos);

    scparse::BrowserTree tree_;
    std::string projectDir_;
    std::vector<std::shared_ptr<DesignItem>> records_;
    std::vector<QTreeWidgetItem*> expand_;
};

// The Design Browser: the elaborated instance tree below sc_main.
class Korl_DBrowserWindow : public Korl_BrowserTreeWindow {
    Q_OBJECT
public:
    explicit Korl_DBrowserWindow(QWidget* parent = nullptr);
    void Fill(const std::shared_ptr<ModuleRecord>& root, const std::string& projectDir);
    const std::shared_ptr<ModuleRecord>& Root() const { return root_; }

private:
    std::shared_ptr<ModuleRecord> root_;
};

// The Source Browser: every module with its members, then every class.
class Korl_SourceBrowserWindow : public Korl_BrowserTreeWindow {
    Q_OBJECT
public:
    explicit Korl_SourceBrowserWindow(QWidget* parent = nullptr);
    void Fill(const std::vector<std::shared_ptr<ModuleRecord>>& modules,
              const std::vector<std::shared_ptr<ClassRecord>>& classes, const std::string& projectDir);

private:
    std::vector<std::shared_ptr<ModuleRecord>> modules_;
    std::vector<std::shared_ptr<ClassRecord>> classes_;
};

// Both panes, the design model and the Elaborate step of the frame.
class Korl_Browsers : public QObject {
    Q_OBJECT
public:
    Korl_Browsers(Korl_FrameServices& frame, QObject* owner);
    ~Korl_Browsers() override;
    Korl_DBrowserWindow* DesignBrowser() const { return design_; }
    Korl_SourceBrowserWindow* SourceBrowser() const { return source_; }
    DesignModel& Model() { return *model_; }
    // Scans the project's files into the model and refills both trees; runs
    // after an elaboration build without error. False when a file could
    // not be opened (the trees then keep the previous result).
    bool Elaborate();

Q_SIGNALS:
    void elaborated(bool completed);

private:
    Korl_FrameServices& frame_;
    std::unique_ptr<DesignModel> model_;
    Korl_DBrowserWindow* design_ = nullptr;
    Korl_SourceBrowserWindow* source_ = nullptr;
};

// Puts both browser panes into the frame and takes over its elaboration step.
Korl_Browsers* InstallBrowsers(Korl_FrameServices& frame, QObject* owner);

#include <gtest/gtest.h>

#include <QDockWidget>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "base/command_ids.h"
#include "frame/panes.h"
#include "project/qt/workspace.h"
#include "helpers.h"

using namespace korl;
using korltest::NoState;
using korltest::Prompts;

namespace {

// A child of another context, as the wave window is: it claims its windows
// and serves zooming only; it records what reaches it.
class FakeWaveFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    QList<int> received;
    bool zoomArea = false;

    static void Install(Korl_CommandRegistry& commands) {
        commands.SetChildClaim(Korl_CommandContext::Wave,
                               [](QMdiSubWindow* w) { return qobject_cast<FakeWaveFrame*>(w) != nullptr; });
        for (int id : {int(ID_WAVE_ZOOM_IN), int(ID_WAVE_ZOOM_AREA)}) {
            commands.Register(
                Korl_CommandContext::Wave, id,
                [&commands, id] {
                    if (auto* w = qobject_cast<FakeWaveFrame*>(commands.ActiveChild())) w->received << id;
                },
                [&commands, id] {
                    auto* w = qobject_cast<FakeWaveFrame*>(commands.ActiveChild());
                    return Korl_CommandState{w != nullptr, w && id == ID_WAVE_ZOOM_AREA && w->zoomArea};
                });
        }
    }
};

} // namespace

TEST(Frame, PanesHaveTheirTitlesAndDefaultPlaces) {
    Korl_MainFrame f(NoState());
    const QStringList titles = {"Project Browser", "Design Browser",  "Source Browser",
                                " Compile ",       "Virtual Console", " Examine 1 ",
                                " Examine 2 ",     " Stack ",         " Problems "};
    for (int p = 0; p < kKorlPaneCount; ++p) {
        QDockWidget* d = f.PaneDock(Korl_Pane(p));
        EXPECT_EQ(d->windowTitle(), titles[p]);
        EXPECT_FALSE(d->objectName().isEmpty());
    }
    auto area = [&](Korl_Pane p) { return f.dockWidgetArea(f.PaneDock(p)); };
    EXPECT_EQ(area(Korl_Pane::ProjectBrowser), Qt::LeftDockWidgetArea);
    EXPECT_EQ(f.tabifiedDockWidgets(f.PaneDock(Korl_Pane::ProjectBrowser)).size(), 2);
    EXPECT_EQ(area(Korl_Pane::Stack), Qt::BottomDockWidgetArea);
    EXPECT_EQ(f.tabifiedDockWidgets(f.PaneDock(Korl_Pane::Compile)).size(), 5);
    EXPECT_EQ(area(Korl_Pane::Problems), Qt::BottomDockWidgetArea);
}

TEST(Frame, MenuBarFollowsTheActiveChild) {
    Prompts prompts;
    QTemporaryDir dir;
    korltest::WriteFile(dir.filePath("a.cpp"), "int a;\n");
    Korl_MainFrame f(NoState());
    f.show();
    EXPECT_EQ(f.MenuTitles(), QStringList({"&File", "&View", "&Project", "&Debug", "&Help"}));
    ASSERT_NE(f.OpenDocument(dir.filePath("a.cpp"), "a.cpp"), nullptr);
    KORL_WAIT_EQ(f.ActiveChildKind(), Korl_MainFrame::ChildKind::Editor, 2000);
    EXPECT_EQ(f.MenuTitles(),
              QStringList({"&File", "&Edit", "&View", "&Project", "&Debug", "&Window", "&Help"}));
    f.MdiArea()->closeAllSubWindows();
    KORL_WAIT_EQ(f.MenuTitles().size(), 5, 2000);
}

TEST(Frame, AcceleratorsAndToolbarOrder) {
    Korl_MainFrame f(NoState());
    auto keys = [&](int id) { return f.Action(id)->shortcuts(); };
    EXPECT_TRUE(keys(ID_BUILD_BUILD).contains(QKeySequence(Qt::Key_F7)));
    EXPECT_TRUE(keys(ID_BUILD_BUILD).contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)));
    EXPECT_EQ(keys(ID_DEBUG_RUN_TO_CURSOR), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_F10)});
    EXPECT_EQ(f.Action(ID_DEBUG_RUN_TO_CURSOR)->text(), "&Run to Cursor\tCtrl+F10");
    EXPECT_EQ(keys(ID_DEBUG_STOP), QList<QKeySequence>{QKeySequence(Qt::SHIFT | Qt::Key_F5)});
    EXPECT_EQ(keys(ID_NEXT_PANE), QList<QKeySequence>{QKeySequence(Qt::Key_F6)});
    EXPECT_EQ(keys(ID_PREV_PANE), QList<QKeySequence>{QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    EXPECT_EQ(f.Action(ID_VIEW_CONSOLE)->text(), "&Virtual Consol");
    EXPECT_EQ(f.Action(ID_ELABORATE)->statusTip(), "Start Elaboration");
    EXPECT_EQ(f.Action(ID_ELABORATE)->toolTip(), "Elaborate");

    QList<int> ids;
    for (QAction* a : f.ToolBar()->actions()) ids << (a->isSeparator() ? 0 : a->data().toInt());
    const QList<int> expected = {ID_PROJECT_NEW,
                                 ID_PROJECT_OPEN,
                                 ID_PROJECT_ADD_NEW,
                                 ID_PROJECT_ADD_EXISTING,
                                 0,
                                 ID_FILE_NEW,
                                 ID_FILE_OPEN,
                                 ID_FILE_SAVE,
                                 ID_FILE_SAVE_ALL,
                                 0,
                                 ID_FILE_PRINT,
                                 0,
                                 ID_EDIT_CUT,
                                 ID_EDIT_COPY,
                                 ID_EDIT_PASTE,
                                 ID_EDIT_CLEAR,
                                 0,
                                 ID_EDIT_UNDO,
                                 ID_EDIT_REDO,
                                 0,
                                 ID_BUILD_COMPILE,
                                 ID_BUILD_BUILD,
                                 ID_BUILD_STOP,
                                 ID_ELABORATE,
                                 0,
                                 ID_DEBUG_START,
                                 ID_DEBUG_STOP,
                                 ID_DEBUG_TOGGLE_BREAKPOINT,
                                 ID_DEBUG_STEP_INTO,
                                 ID_DEBUG_STEP_OVER,
                                 ID_DEBUG_STEP_OUT,
                                 ID_DEBUG_RUN_TO_CURSOR,
                                 0,
                                 ID_WAVE_ZOOM_IN,
                                 ID_WAVE_ZOOM_OUT,
                                 ID_WAVE_ZOOM_FULL,
                                 ID_WAVE_ZOOM_AREA,
                                 ID_WAVE_ADD_CURSOR,
                                 ID_WAVE_REMOVE_CURSOR,
                                 0,
                                 ID_APP_ABOUT};
    EXPECT_EQ(ids, expected);
    for (QAction* a : f.ToolBar()->actions())
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
        }
}

TEST(Frame, ProjectCommandsFollowTheProject) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    for (int id :
         {ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START, ID_DEBUG_STOP,
          ID_DEBUG_STEP_INTO, ID_DEBUG_STEP_OVER, ID_DEBUG_STEP_OUT, ID_DEBUG_RUN_TO_CURSOR, ID_BUILD_STOP})
        EXPECT_FALSE(f.IsCommandEnabled(id)) << id;
    EXPECT_TRUE(f.IsCommandEnabled(ID_BUILD_COMPILE));
    EXPECT_TRUE(f.IsCommandEnabled(ID_PROJECT_NEW));

    f.LoadProject(k1);
    ASSERT_TRUE(f.ProjectOpen());
    for (int id : {ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START})
        EXPECT_TRUE(f.IsCommandEnabled(id)) << id;
    EXPECT_FALSE(f.IsCommandEnabled(ID_DEBUG_STEP_INTO));
    EXPECT_TRUE(f.Action(ID_BUILD_BUILD)->isEnabled());

    f.OnCommand(ID_PROJECT_CLOSE);
    EXPECT_FALSE(f.ProjectOpen());
    for (int id : {ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START})
        EXPECT_FALSE(f.IsCommandEnabled(id)) << id;
    EXPECT_FALSE(f.Action(ID_BUILD_BUILD)->isEnabled());
}

TEST(Frame, EditCommandsGoToTheActiveEditorOnly) {
    Prompts prompts;
    QTemporaryDir dir;
    korltest::WriteFile(dir.filePath("a.cpp"), "int a;\n");
    Korl_MainFrame f(NoState());
    f.show();

    // No child: ignored, greyed.
    EXPECT_FALSE(f.IsCommandEnabled(ID_EDIT_SELECT_ALL));
    f.OnCommand(ID_EDIT_SELECT_ALL);

    Korl_EditorChildFrame* ed = f.OpenDocument(dir.filePath("a.cpp"), "a.cpp");
    ASSERT_NE(ed, nullptr);
    KORL_WAIT_EQ(f.ActiveChildKind(), Korl_MainFrame::ChildKind::Editor, 2000);
    f.OnCommand(ID_EDIT_SELECT_ALL);
    f.OnCommand(ID_EDIT_CLEAR);
    EXPECT_EQ(ed->View()->Control()->text(), "");
    EXPECT_TRUE(f.IsCommandEnabled(ID_EDIT_UNDO));
    f.OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(ed->View()->Control()->text(), "int a;\n");

    // Another kind of child gets the command and ignores what it does not know.
    FakeWaveFrame::Install(f.Commands());
    auto* wave = new FakeWaveFrame;
    wave->setWidget(new QWidget);
    f.MdiArea()->addSubWindow(wave);
    wave->show();
    f.MdiArea()->setActiveSubWindow(wave);
    KORL_WAIT_EQ(f.MdiArea()->activeSubWindow(), wave, 2000);
    EXPECT_EQ(f.ActiveChildKind(), Korl_MainFrame::ChildKind::Wave);
    EXPECT_TRUE(f.MenuTitles().contains("&Wave"));
    EXPECT_FALSE(f.MenuTitles().contains("&Edit"));
    EXPECT_FALSE(f.IsCommandEnabled(ID_EDIT_SELECT_ALL));
    EXPECT_TRUE(f.IsCommandEnabled(ID_WAVE_ZOOM_IN));
    f.OnCommand(ID_WAVE_ZOOM_IN);
    EXPECT_EQ(wave->received, QList<int>{ID_WAVE_ZOOM_IN});
    f.OnCommand(ID_EDIT_SELECT_ALL); // greyed there: never reaches anyone
    EXPECT_EQ(wave->received, QList<int>{ID_WAVE_ZOOM_IN});
    EXPECT_EQ(ed->View()->Control()->text(), "int a;\n");

    // A mode the window reports as on shows its check mark in the menu.
    wave->zoomArea = true;
    f.Commands().NotifyStatesChanged();
    EXPECT_TRUE(f.Action(ID_WAVE_ZOOM_AREA)->isChecked());
    wave->zoomArea = false;
    f.Commands().NotifyStatesChanged();
    EXPECT_FALSE(f.Action(ID_WAVE_ZOOM_AREA)->isChecked());
}

TEST(Frame, DroppedFilesOpenByExtension) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    korltest::WriteFile(dir.filePath("notes.txt"), "hello\n");
    korltest::WriteFile(dir.filePath("trace.vcd"), "$end\n");
    Korl_MainFrame f(NoState());
    f.show();

    auto drop = [&](const QStringList& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        mime->setUrls(urls);
        // The drop reaches the window that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent ev(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f, &ev);
        delete mime;
    };
    drop({k1});
    EXPECT_TRUE(f.ProjectOpen());
    EXPECT_EQ(f.Project().Title(), "counter");

    drop({dir.filePath("notes.txt")});
    ASSERT_EQ(f.EditorChildren().size(), 1);
    EXPECT_EQ(f.EditorChildren().first()->View()->ShortName(), "notes.txt");

    QStringList opened;
    f.SetVcdOpener([&](const QString& path) { opened << path; });
    drop({dir.filePath("trace.vcd")});
    EXPECT_EQ(f.EditorChildren().size(), 1);
    EXPECT_EQ(opened, QStringList{QFileInfo(dir.filePath("trace.vcd")).absoluteFilePath()});

    // A modified project is asked about before another one loads.
    f.Project().SetExtraIncludes("inc");
    ASSERT_TRUE(f.Project().IsModified());
    prompts.answer = QMessageBox::No;
    drop({k1});
    ASSERT_FALSE(prompts.texts.isEmpty());
    EXPECT_EQ(prompts.texts.last(), "counter has been modified. Save it?");
}

TEST(Frame, TreeOpensAndRemovesDocuments) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.show();
    f.LoadProject(k1);
    Korl_WorkspaceWindow* tree = f.WorkspaceWindow();
    ASSERT_NE(tree->SourceFolder(), nullptr);
    QTreeWidgetItem* node = tree->SourceFolder()->child(1);
    const QString name = node->text(0);
    tree->OpenNode(node);
    ASSERT_EQ(f.EditorChildren().size(), 1);
    EXPECT_EQ(f.EditorChildren().first()->View()->ShortName(), name);
    tree->OpenNode(node); // found again, not opened twice
    EXPECT_EQ(f.EditorChildren().size(), 1);

    // Removing the item closes its editor; the file stays.
    tree->RemoveNode(node);
    KORL_WAIT_EQ(f.EditorChildren().size(), 0, 2000);
    EXPECT_TRUE(QFile::exists(dir.filePath(name)));
    EXPECT_TRUE(f.Project().IsModified());

    // Closing the project with Cancel keeps it; No closes it unsaved.
    prompts.answer = QMessageBox::Cancel;
    f.OnCommand(ID_PROJECT_CLOSE);
    EXPECT_TRUE(f.ProjectOpen());
    prompts.answer = QMessageBox::No;
    f.OnCommand(ID_PROJECT_CLOSE);
    EXPECT_FALSE(f.ProjectOpen());
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST(Frame, PartsTakeOverFrameCommands) {
    Prompts prompts;
    QTemporaryDir dir;
    korltest::WriteFile(dir.filePath("x.vcd"), "$end\n");
    Korl_MainFrame f(NoState());
    prompts.Choose({dir.filePath("x.vcd")});
    f.OnCommand(ID_OPEN_VCD);
    ASSERT_EQ(prompts.dialogs.size(), 1);
    EXPECT_EQ(prompts.dialogs[0].filters[0].description, "VCD Files (*.vcd)");
    // Without wave windows installed nothing opens, and nothing breaks.
    EXPECT_TRUE(f.MdiArea()->subWindowList().isEmpty());

    // A part's context answers before the frame's own.
    int calls = 0;
    f.Commands().Register(Korl_CommandContext::Browsers, ID_OPEN_VCD, [&] { ++calls; });
    f.OnCommand(ID_OPEN_VCD);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(prompts.dialogs.size(), 1);
}

TEST(Frame, ViewCommandsToggleBarsAndPanes) {
    Korl_MainFrame f(NoState());
    f.show();
    QDockWidget* stack = f.PaneDock(Korl_Pane::Stack);
    // Behind the Compile tab: the first toggle brings it forward, then it hides and shows.
    f.OnCommand(ID_VIEW_STACK);
    EXPECT_FALSE(stack->isHidden());
    f.OnCommand(ID_VIEW_STACK);
    EXPECT_TRUE(stack->isHidden());
    EXPECT_FALSE(f.Action(ID_VIEW_STACK)->isChecked());
    f.OnCommand(ID_VIEW_STACK);
    EXPECT_FALSE(stack->isHidden());
    EXPECT_TRUE(f.Action(ID_VIEW_STACK)->isChecked());
    f.OnCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(f.statusBar()->isVisible());
    EXPECT_FALSE(f.Action(ID_VIEW_STATUS_BAR)->isChecked());
    f.OnCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(f.ToolBar()->isVisible());
}

#include "test_frame.moc"

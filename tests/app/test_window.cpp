// The window a designer lives in: questions that can be cancelled, the title,
// the recent lists, status texts, problems of a build and where jumps land.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDockWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "base/command_ids.h"
#include "frame/about.h"
#include "frame/panes.h"
#include "frame/problems_pane.h"
#include "helpers.h"
#include "project/project.h"

using namespace korl;
using korltest::NoState;
using korltest::Prompts;

namespace {

// Settings of this test only: the recent lists and the like start empty.
struct ScratchSettings {
    QTemporaryDir dir;
    ScratchSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

Korl_EditorChildFrame* OpenModified(Korl_MainFrame& f, const QString& path, const QByteArray& text) {
    korltest::WriteFile(path, text);
    Korl_EditorChildFrame* child = f.OpenDocument(path, QFileInfo(path).fileName());
    if (child) child->View()->Control()->insert("// edited\n");
    return child;
}

bool WaitForBuildEnd(QSignalSpy& ended, qsizetype count = 1) {
    return ended.size() >= count || ended.wait(120000);
}

// A child of another kind that asks its own question on close, as a wave
// window does, answered Cancel while `refuse` is set.
class AskingChild : public QMdiSubWindow {
public:
    bool refuse = true;
    int asked = 0;

protected:
    void closeEvent(QCloseEvent* e) override {
        ++asked;
        if (refuse) {
            e->ignore();
            return;
        }
        QMdiSubWindow::closeEvent(e);
    }
};

} // namespace

TEST(Prompts, ClosingADocumentOffersSaveDiscardAndCancel) {
    Prompts prompts;
    QTemporaryDir dir;
    Korl_MainFrame f(NoState());
    f.show();
    const QString a = dir.filePath("a.cpp");
    ASSERT_NE(OpenModified(f, a, "int a;\n"), nullptr);

    prompts.saveAnswers = {Korl_SaveAnswer::Cancel};
    f.OnCommand(ID_FILE_CLOSE);
    ASSERT_EQ(prompts.texts, QStringList({"Save Changes to file?"}));
    EXPECT_EQ(prompts.saveNames, QStringList({a}));
    ASSERT_EQ(f.EditorChildren().size(), 1);
    EXPECT_TRUE(f.EditorChildren().first()->View()->IsModified());

    prompts.saveAnswers = {Korl_SaveAnswer::Discard};
    f.OnCommand(ID_FILE_CLOSE);
    KORL_WAIT_EQ(f.EditorChildren().size(), 0, 2000);
    EXPECT_EQ(ReadAll(a), "int a;\n");

    ASSERT_NE(OpenModified(f, a, "int a;\n"), nullptr);
    prompts.saveAnswers = {Korl_SaveAnswer::Save};
    f.OnCommand(ID_FILE_CLOSE);
    KORL_WAIT_EQ(f.EditorChildren().size(), 0, 2000);
    EXPECT_EQ(ReadAll(a), "// edited\nint a;\n");
}

TEST(Prompts, CancelOfExitWithTwoModifiedDocumentsKeepsBoth) {
    Prompts prompts;
    QTemporaryDir dir;
    Korl_MainFrame f(NoState());
    f.show();
    const QString a = dir.filePath("a.cpp"), b = dir.filePath("b.cpp");
    ASSERT_NE(OpenModified(f, a, "int a;\n"), nullptr);
    ASSERT_NE(OpenModified(f, b, "int b;\n"), nullptr);

    // Discard the first, then cancel at the second: nothing closes, nothing is lost.
    prompts.saveAnswers = {Korl_SaveAnswer::Discard, Korl_SaveAnswer::Cancel};
    EXPECT_FALSE(f.close());
    EXPECT_EQ(prompts.saveNames.size(), 2);
    ASSERT_EQ(f.EditorChildren().size(), 2);
    for (Korl_EditorChildFrame* c : f.EditorChildren()) EXPECT_TRUE(c->View()->IsModified());
    EXPECT_TRUE(f.isVisible());

    // The Discard of the cancelled round is forgotten: the next Exit asks again.
    prompts.saveNames.clear();
    prompts.saveAnswers = {Korl_SaveAnswer::Save, Korl_SaveAnswer::Discard};
    EXPECT_TRUE(f.close());
    EXPECT_EQ(prompts.saveNames.size(), 2);
    const QByteArray first = ReadAll(a), second = ReadAll(b);
    // One of the two was saved, the other left as it was on disk.
    EXPECT_EQ(int(first.startsWith("// edited")) + int(second.startsWith("// edited")), 1);
}

TEST(Prompts, AnotherChildThatStaysOpenStopsExit) {
    Prompts prompts;
    QTemporaryDir dir;
    Korl_MainFrame f(NoState());
    f.show();
    ASSERT_NE(OpenModified(f, dir.filePath("a.cpp"), "int a;\n"), nullptr);
    auto* wave = new AskingChild;
    wave->setWidget(new QWidget);
    f.MdiArea()->addSubWindow(wave);
    wave->show();

    // The editor is asked first (Discard), the other child then refuses: all stays.
    prompts.saveAnswers = {Korl_SaveAnswer::Discard};
    EXPECT_FALSE(f.close());
    EXPECT_EQ(wave->asked, 1);
    ASSERT_EQ(f.EditorChildren().size(), 1);
    EXPECT_TRUE(f.EditorChildren().first()->View()->IsModified());

    wave->refuse = false;
    prompts.saveAnswers = {Korl_SaveAnswer::Discard};
    EXPECT_TRUE(f.close());
    EXPECT_EQ(prompts.saveNames.size(), 2);
    EXPECT_EQ(ReadAll(dir.filePath("a.cpp")), "int a;\n");
}

TEST(Prompts, ProjectSwitchCanBeCancelled) {
    Prompts prompts;
    QTemporaryDir dir, other;
    const QString k1 = korltest::CopyExample(dir);
    const QString k2 = korltest::CopyExample(other, "pipeline");
    Korl_MainFrame f(NoState());
    f.show();
    ASSERT_TRUE(f.LoadProject(k1));
    const QByteArray stored = ReadAll(k1);
    f.Project().SetExtraIncludes("inc");

    prompts.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(f.LoadProject(k2));
    EXPECT_EQ(prompts.texts.last(), "counter has been modified. Save it?");
    EXPECT_EQ(f.Project().Title(), "counter");
    EXPECT_TRUE(f.Project().IsModified());

    // Cancel at a document's question stops the switch as well.
    ASSERT_NE(OpenModified(f, dir.filePath("notes.cpp"), "x\n"), nullptr);
    prompts.saveAnswers = {Korl_SaveAnswer::Cancel};
    EXPECT_FALSE(f.LoadProject(k2));
    EXPECT_EQ(f.Project().Title(), "counter");
    EXPECT_EQ(f.EditorChildren().size(), 1);

    // Discard for both: the other project opens, the old file is untouched,
    // and each question was asked once.
    prompts.texts.clear();
    prompts.saveAnswers = {Korl_SaveAnswer::Discard};
    prompts.answers = {QMessageBox::Discard};
    EXPECT_TRUE(f.LoadProject(k2));
    EXPECT_EQ(prompts.texts.size(), 2);
    EXPECT_EQ(f.Project().Title(), "pipeline");
    EXPECT_EQ(ReadAll(k1), stored);
    KORL_WAIT_EQ(f.EditorChildren().size(), 0, 2000);

    // Save writes the project before Close Project closes it.
    f.Project().SetExtraIncludes("saved");
    prompts.answers = {QMessageBox::Save};
    f.OnCommand(ID_PROJECT_CLOSE);
    EXPECT_FALSE(f.ProjectOpen());
    EXPECT_TRUE(ReadAll(k2).contains("saved"));
}

TEST(Title, FollowsProjectAndActiveWindow) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.show();
    EXPECT_EQ(f.windowTitle(), "Korl");
    ASSERT_TRUE(f.LoadProject(k1));
    EXPECT_EQ(f.windowTitle(), "Korl - counter");

    Korl_EditorChildFrame* a = f.OpenDocument(dir.filePath("main.cpp"), "main.cpp");
    ASSERT_NE(a, nullptr);
    // Maximised, the MDI area adds the child's caption itself, once.
    ASSERT_TRUE(a->isMaximized());
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - [main.cpp]"), 2000);

    a->showNormal();
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - main.cpp"), 2000);
    Korl_EditorChildFrame* b = f.OpenDocument(dir.filePath("counter.h"), "counter.h");
    ASSERT_NE(b, nullptr);
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - counter.h"), 2000);
    f.MdiArea()->setActiveSubWindow(a);
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - main.cpp"), 2000);
    a->View()->Control()->insert(" ");
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - main.cpp*"), 2000);

    // Maximised again after other activations: still the active file, once.
    f.MdiArea()->setActiveSubWindow(b);
    b->showMaximized();
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl - counter - [counter.h]"), 2000);
    f.MdiArea()->setActiveSubWindow(a);
    KORL_WAIT_EQ(f.windowTitle().count("main.cpp"), 1, 2000);
    EXPECT_FALSE(f.windowTitle().contains("counter.h"));

    prompts.answer = QMessageBox::No;
    f.OnCommand(ID_PROJECT_CLOSE);
    KORL_WAIT_EQ(f.windowTitle(), QString("Korl"), 2000);
}

TEST(Recent, ListsSurviveARestartAndLoseMissingEntries) {
    ScratchSettings settings;
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    korltest::WriteFile(dir.filePath("gone.cpp"), "int g;\n");
    {
        Korl_MainFrame f(NoState());
        // Empty at first: the menu is off until something was opened.
        EXPECT_FALSE(f.findChild<QMenu*>("RecentProjectsMenu")->isEnabled());
        f.LoadProject(k1);
        EXPECT_TRUE(f.findChild<QMenu*>("RecentProjectsMenu")->isEnabled());
        f.OpenPath(dir.filePath("main.cpp"));
        f.OpenPath(dir.filePath("gone.cpp"));
    }
    QFile::remove(dir.filePath("gone.cpp"));

    Korl_MainFrame f(NoState());
    auto* projects = f.findChild<QMenu*>("RecentProjectsMenu");
    ASSERT_NE(projects, nullptr);
    EXPECT_TRUE(projects->isEnabled());
    EXPECT_EQ(f.RecentProjects().Entries(), QStringList({k1}));
    EXPECT_EQ(f.RecentFiles().Entries(), QStringList({dir.filePath("gone.cpp"), dir.filePath("main.cpp")}));

    // The menu lists them, newest first.
    auto* files = f.findChild<QMenu*>("RecentFilesMenu");
    ASSERT_NE(files, nullptr);
    Q_EMIT files->aboutToShow();
    ASSERT_EQ(files->actions().size(), 2);
    EXPECT_EQ(files->actions()[0]->text(), "&1 " + dir.filePath("gone.cpp"));

    prompts.texts.clear();
    files->actions()[0]->trigger();
    ASSERT_EQ(prompts.texts.size(), 1);
    EXPECT_TRUE(prompts.texts[0].contains("gone.cpp")) << prompts.texts[0].toStdString();
    EXPECT_EQ(f.RecentFiles().Entries(), QStringList({dir.filePath("main.cpp")}));
    EXPECT_TRUE(f.EditorChildren().isEmpty());

    f.OpenRecent(k1, true);
    EXPECT_TRUE(f.ProjectOpen());

    // Eight at most.
    for (int i = 0; i < 10; ++i) f.RecentFiles().Add(QString("/x/%1.cpp").arg(i));
    EXPECT_EQ(f.RecentFiles().Entries().size(), 8);
    EXPECT_EQ(f.RecentFiles().Entries().first(), "/x/9.cpp");
}

TEST(Status, TransientTextsLeaveAndProjectTextsGoWithTheProject) {
    Prompts prompts;
    QTemporaryDir dir, other;
    const QString k1 = korltest::CopyExample(dir);
    const QString k2 = korltest::CopyExample(other, "pipeline");
    Korl_MainFrame f(NoState());
    f.show();
    f.LoadProject(k1);
    EXPECT_EQ(f.StatusText(), "Ready");

    f.ShowStatusMessage("Elaboration done in 5 ms: 5 module(s)", 0);
    EXPECT_EQ(f.StatusText(), "Elaboration done in 5 ms: 5 module(s)");

    // A hover text shows, then leaves with the pointer.
    QStatusTipEvent tip("Create a new document");
    QApplication::sendEvent(&f, &tip);
    EXPECT_EQ(f.StatusText(), "Create a new document");
    QStatusTipEvent none("");
    QApplication::sendEvent(&f, &none);
    EXPECT_EQ(f.StatusText(), "Elaboration done in 5 ms: 5 module(s)");

    // A message with a timeout ends by itself.
    f.ShowStatusMessage("Building...", 50);
    KORL_WAIT_EQ(f.StatusText(), QString("Elaboration done in 5 ms: 5 module(s)"), 2000);

    // Another project: texts about the old one are gone.
    f.LoadProject(k2);
    EXPECT_EQ(f.StatusText(), "Ready");
}

TEST(Problems, FailingBuildMarksTheMarginAndFillsThePane) {
    Prompts prompts;
    QTemporaryDir dir;
    korltest::WriteFile(dir.filePath("main.cpp"),
                        "int main() {\n"
                        "#warning \"look here\"\n"
                        "    return missing_name;\n"
                        "}\n");
    korltest::WriteFile(dir.filePath("aux.cpp"), "int aux() { return also_missing; }\n");
    {
        Project p;
        ASSERT_TRUE(p.NewProject(dir.filePath("bad.k1").toStdString()));
        p.AddExistingFiles({dir.filePath("main.cpp").toStdString(), dir.filePath("aux.cpp").toStdString()});
        ASSERT_TRUE(p.Save());
    }
    Korl_MainFrame f(NoState());
    f.show();
    ASSERT_TRUE(f.LoadProject(dir.filePath("bad.k1")));
    Korl_EditorChildFrame* main = f.OpenDocument(dir.filePath("main.cpp"), "main.cpp");
    ASSERT_NE(main, nullptr);

    QSignalSpy ended(&f, &Korl_MainFrame::buildEnded);
    f.OnCommand(ID_BUILD_BUILD);
    ASSERT_TRUE(WaitForBuildEnd(ended));

    // The margin: a warning on line 2, an error on line 3, the messages as tips.
    Korl_EditControl* control = main->View()->Control();
    EXPECT_EQ(control->ProblemMarkLines(), QList<int>({1, 2}));
    EXPECT_TRUE(control->ProblemTip(2).contains("missing_name")) << control->ProblemTip(2).toStdString();
    EXPECT_TRUE(control->ProblemTip(1).contains("look here"));

    // The pane: sorted by file and line, icons, jumps.
    Korl_ProblemsWindow* pane = f.ProblemsWindow();
    ASSERT_GE(pane->topLevelItemCount(), 3);
    EXPECT_EQ(pane->topLevelItem(0)->text(0), "aux.cpp");
    EXPECT_EQ(pane->topLevelItem(1)->text(0), "main.cpp");
    EXPECT_EQ(pane->topLevelItem(1)->text(1), "2");
    EXPECT_EQ(pane->topLevelItem(2)->text(1), "3");
    EXPECT_FALSE(pane->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(f.PaneDock(Korl_Pane::Problems)->windowTitle().startsWith(" Problems ("));
    EXPECT_TRUE(f.StatusText().startsWith("bad - ")) << f.StatusText().toStdString();

    // Enter on the first row opens aux.cpp at line 1.
    pane->setCurrentItem(pane->topLevelItem(0));
    QTest::keyClick(pane, Qt::Key_Return);
    ASSERT_NE(f.Editors()->ActiveView(), nullptr);
    EXPECT_EQ(f.Editors()->ActiveView()->ShortName(), "aux.cpp");
    EXPECT_EQ(f.Editors()->ActiveView()->Control()->ProblemMarkLines(), QList<int>({0}));

    // Fixed and built again: the marks and the list are gone.
    auto retype = [](Korl_EditControl* c, const QString& text) {
        c->selectAll();
        c->replaceSelectedText(text);
    };
    retype(main->View()->Control(), "int main() { return 0; }\n");
    retype(f.Editors()->ActiveView()->Control(), "int aux() { return 1; }\n");
    EXPECT_TRUE(main->View()->IsModified());
    f.OnCommand(ID_BUILD_BUILD);
    ASSERT_TRUE(WaitForBuildEnd(ended, 2));
    EXPECT_EQ(ReadAll(dir.filePath("main.cpp")), "int main() { return 0; }\n");
    EXPECT_EQ(f.LastBuild().errors, 0u) << f.CompileWindow()->AllText().toStdString();
    EXPECT_TRUE(control->ProblemMarkLines().isEmpty());
    EXPECT_EQ(pane->topLevelItemCount(), 0);
    EXPECT_EQ(f.PaneDock(Korl_Pane::Problems)->windowTitle(), " Problems ");
}

TEST(Jumps, TargetLineComesToTheMiddle) {
    Prompts prompts;
    QTemporaryDir dir;
    QByteArray text;
    for (int i = 1; i <= 400; ++i) text += "int line" + QByteArray::number(i) + ";\n";
    korltest::WriteFile(dir.filePath("long.cpp"), text);
    Korl_MainFrame f(NoState());
    f.resize(1200, 900);
    f.show();
    Korl_EditorChildFrame* child = f.OpenDocument(dir.filePath("long.cpp"), "long.cpp", 299);
    ASSERT_NE(child, nullptr);
    Korl_EditControl* c = child->View()->Control();
    auto middle = [&c] {
        const int first = int(c->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE));
        const int onScreen = int(c->SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN));
        return first + onScreen / 2;
    };
    QTest::qWait(50); // the new window gets its final size
    EXPECT_EQ(c->CaretLine(), 299);
    EXPECT_NEAR(middle(), 299, 1);

    // Goto Line, and the Compile pane's jump, far down and far up.
    c->RunCommand(Korl_EditControl::CmdGotoLine, 49);
    EXPECT_NEAR(middle(), 49, 1);
    f.CompileWindow()->Append(dir.filePath("long.cpp") + ":380:3: error: boom\r\n");
    f.CompileWindow()->setCursorPosition(0, 0);
    QTest::keyClick(f.CompileWindow(), Qt::Key_Return);
    ASSERT_NE(f.Editors()->ActiveView(), nullptr);
    c = f.Editors()->ActiveView()->Control();
    QTest::qWait(50);
    EXPECT_EQ(c->CaretLine(), 379);
    EXPECT_NEAR(middle(), 379, 1);
}

TEST(Jumps, DoubleClickInTheCompilePaneSelectsNoWord) {
    Prompts prompts;
    Korl_MainFrame f(NoState());
    f.show();
    Korl_CompileWindow* pane = f.CompileWindow();
    pane->Append("x.cpp:4:1: error: something wrong\r\n");
    QSignalSpy jump(pane, &Korl_CompileWindow::jumpRequested);
    f.ShowPane(Korl_Pane::Compile);
    const long pos = pane->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 0) + 22;
    const QPoint at(int(pane->SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0, pos)),
                    int(pane->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0, pos)) + 3);
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_EQ(jump.size(), 1);
    EXPECT_EQ(jump[0][0].toString(), "x.cpp:4:1: error: something wrong");
    EXPECT_FALSE(pane->hasSelectedText());
}

TEST(About, NamesKorlAndTheToolsItFound) {
    Korl_MainFrame f(NoState());
    const QString text = f.AboutText();
    EXPECT_TRUE(text.startsWith("Korl ")) << text.toStdString();
    EXPECT_TRUE(text.contains("Qt " + QString(qVersion())));
    EXPECT_TRUE(text.contains(QRegularExpression("SystemC \\d+\\.\\d+\\.\\d+"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("make \\d"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("g\\+\\+ \\d"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("gdb \\d"))) << text.toStdString();

    EXPECT_EQ(Korl_VersionFromFirstLine("GNU Make 4.3\nBuilt for x86_64"), "4.3");
    EXPECT_EQ(Korl_VersionFromFirstLine("g++ (Debian 12.2.0-14) 12.2.0\n"), "12.2.0");
    EXPECT_EQ(Korl_SystemCVersionFromHeader("#define SC_VERSION_MAJOR 2\n#define SC_VERSION_MINOR 3\n"
                                            "#define SC_VERSION_PATCH 4\n"),
              "2.3.4");
    EXPECT_EQ(Korl_SystemCVersionFromHeader("nothing"), "");
}

// Builds through the window: real make and g++ against the installed SystemC.
#include <gtest/gtest.h>

#include <QDockWidget>
#include <QSignalSpy>

#include "base/command_ids.h"
#include "frame/panes.h"
#include "helpers.h"

using namespace korl;
using korltest::NoState;
using korltest::Prompts;

namespace {

bool WaitForBuildEnd(Korl_MainFrame& f, QSignalSpy& ended) {
    // A build of the example takes a few seconds; a hang fails after two minutes.
    return ended.size() > 0 || ended.wait(120000);
}

} // namespace

TEST(Build, BuildThroughTheMenuStreamsIntoTheCompilePane) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.show();
    f.LoadProject(k1);
    ASSERT_TRUE(f.Action(ID_BUILD_BUILD)->isEnabled());

    QSignalSpy started(&f, &Korl_MainFrame::buildStarted);
    QSignalSpy ended(&f, &Korl_MainFrame::buildEnded);
    f.Action(ID_BUILD_BUILD)->trigger();
    ASSERT_EQ(started.size(), 1) << prompts.texts.join("\n").toStdString();

    // While make runs only Stop Build is on among the build commands.
    EXPECT_TRUE(f.IsCommandEnabled(ID_BUILD_STOP));
    for (int id : {ID_BUILD_BUILD, ID_BUILD_COMPILE, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START})
        EXPECT_FALSE(f.Action(id)->isEnabled()) << id;
    EXPECT_TRUE(QFile::exists(dir.filePath("makefile")));

    ASSERT_TRUE(WaitForBuildEnd(f, ended));
    const QString out = f.CompileWindow()->AllText();
    EXPECT_TRUE(out.contains("Compiling...")) << out.toStdString();
    EXPECT_TRUE(out.trimmed().endsWith("counter - 0 error(s), 0 warning(s)")) << out.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("makefile")));
    EXPECT_TRUE(QFile::exists(dir.filePath("counter")));

    EXPECT_FALSE(f.IsCommandEnabled(ID_BUILD_STOP));
    for (int id : {ID_BUILD_BUILD, ID_BUILD_COMPILE, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START})
        EXPECT_TRUE(f.Action(id)->isEnabled()) << id;

    // Nothing changed: make says so, with the target's name.
    f.OnCommand(ID_BUILD_BUILD);
    ASSERT_TRUE(ended.size() > 1 || ended.wait(60000));
    EXPECT_TRUE(f.CompileWindow()->AllText().contains("counter is up to date."))
        << f.CompileWindow()->AllText().toStdString();
}

TEST(Build, StopBuildCountsAnErrorAndRestoresTheCommands) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.LoadProject(k1);
    QSignalSpy ended(&f, &Korl_MainFrame::buildEnded);
    f.OnCommand(ID_BUILD_REBUILD_ALL);
    ASSERT_TRUE(f.BuildRunning());
    f.Action(ID_BUILD_STOP)->trigger();
    ASSERT_TRUE(WaitForBuildEnd(f, ended));
    EXPECT_TRUE(f.LastBuild().stopped);
    EXPECT_GE(f.LastBuild().errors, 1u);
    EXPECT_TRUE(
        f.CompileWindow()->AllText().contains(QString("counter - %1 error(s)").arg(f.LastBuild().errors)));
    EXPECT_FALSE(QFile::exists(dir.filePath("makefile")));
    EXPECT_TRUE(f.IsCommandEnabled(ID_BUILD_BUILD));
    EXPECT_FALSE(f.IsCommandEnabled(ID_BUILD_STOP));
}

TEST(Build, CompileNeedsAProjectSourceInTheActiveEditor) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.show();
    f.LoadProject(k1);
    f.OnCommand(ID_BUILD_COMPILE);
    ASSERT_EQ(prompts.texts.size(), 1);
    EXPECT_EQ(prompts.texts[0], "Cannot compile this file because it is not a project source file.");
    EXPECT_FALSE(f.BuildRunning());

    // A source of the project starts the single-file build; stopping it
    // names the object in the summary.
    const auto& src = f.Project().Sources().front();
    ASSERT_NE(f.OpenDocument(QString::fromStdString(src.FullPath()), QString::fromStdString(src.name)),
              nullptr);
    KORL_WAIT_EQ(f.ActiveChildKind(), Korl_MainFrame::ChildKind::Editor, 2000);
    QSignalSpy ended(&f, &Korl_MainFrame::buildEnded);
    f.OnCommand(ID_BUILD_COMPILE);
    ASSERT_TRUE(f.BuildRunning());
    f.OnCommand(ID_BUILD_STOP);
    ASSERT_TRUE(WaitForBuildEnd(f, ended));
    const QString stem = QString::fromStdString(src.name).section('.', 0, 0);
    EXPECT_TRUE(f.CompileWindow()->AllText().contains(stem + ".o - 1 error(s), 0 warning(s)"))
        << f.CompileWindow()->AllText().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("makefile")));
}

TEST(Build, ErrorLineJumpsToItsSource) {
    Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(NoState());
    f.show();
    f.LoadProject(k1);
    const auto& src = f.Project().Sources().front();
    const QString name = QString::fromStdString(src.name);
    f.CompileWindow()->Append("Compiling...\r\n" + name + "\r\n" + name +
                              ":3:5: warning: unused variable x\r\n");
    // The caret on the warning line, then Enter as the user would press it.
    f.CompileWindow()->setCursorPosition(2, 0);
    QTest::keyClick(f.CompileWindow(), Qt::Key_Return);
    ASSERT_EQ(f.EditorChildren().size(), 1);
    Korl_EditorView* view = f.EditorChildren().first()->View();
    EXPECT_EQ(view->FullPath(), QString::fromStdString(src.FullPath()));
    EXPECT_EQ(view->Control()->CaretLine(), 2);

    // Typing into the pane changes nothing.
    const QString before = f.CompileWindow()->AllText();
    QTest::keyClicks(f.CompileWindow(), "abc");
    EXPECT_EQ(f.CompileWindow()->AllText(), before);
}

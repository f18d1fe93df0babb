#include <gtest/gtest.h>

#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "project/qt/dialogs.h"
#include "project/qt/propertysheet.h"
#include "project/qt/workspace.h"

using namespace korl;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Answers the file dialogs in order and records the message boxes.
struct Answers {
    QList<FileDialogResult> results;
    QList<FileDialogRequest> requests;
    QStringList messages;
    QList<QMessageBox::StandardButtons> buttons;
    QMessageBox::StandardButton answer = QMessageBox::No;
    bool tick = false; // ticks "Do not ask again" where offered
    Answers() {
        SetFileDialogHook([this](const FileDialogRequest& r) {
            requests << r;
            return results.isEmpty() ? FileDialogResult{} : results.takeFirst();
        });
        SetMessageBoxHook([this](const MessageRequest& r) {
            messages << r.text;
            buttons << r.buttons;
            if (r.checked) *r.checked = tick;
            return answer;
        });
    }
    ~Answers() {
        SetFileDialogHook({});
        SetMessageBoxHook({});
    }
};

void Touch(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

QStringList Names(QTreeWidgetItem* folder) {
    QStringList n;
    for (int i = 0; i < folder->childCount(); ++i) n << folder->child(i)->text(0);
    return n;
}

struct OpenProject {
    QTemporaryDir dir;
    Project project;
    OpenProject() { project.NewProject(dir.filePath("design").toStdString() + ".k1"); }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST(Workspace, TreeShowsTheListsWithImagesAndTags) {
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    Answers answers;
    answers.answer = QMessageBox::Yes;
    OpenProject p;
    Korl_WorkspaceWindow tree(p.project);
    for (const char* n : {"a.cpp", "b.cpp", "c.cpp", "a.h"}) Touch(p.Path(n));
    p.project.AddExistingFiles({p.Path("a.cpp").toStdString(), p.Path("b.cpp").toStdString(),
                                p.Path("c.cpp").toStdString(), p.Path("a.h").toStdString()});
    ASSERT_NE(tree.RootNode(), nullptr);
    EXPECT_EQ(tree.RootNode()->text(0), "design");
    EXPECT_EQ(Korl_WorkspaceWindow::ImageOf(tree.RootNode()), kImageProject);
    EXPECT_EQ(Names(tree.SourceFolder()), QStringList({"a.cpp", "b.cpp", "c.cpp"}));
    EXPECT_EQ(Names(tree.HeaderFolder()), QStringList({"a.h"}));
    EXPECT_EQ(Korl_WorkspaceWindow::ImageOf(tree.SourceFolder()->child(0)), kImageSource);
    EXPECT_EQ(Korl_WorkspaceWindow::ImageOf(tree.HeaderFolder()->child(0)), kImageHeader);
    EXPECT_FALSE(Korl_WorkspaceWindow::TagOf(tree.SourceFolder()).has_value());

    // Folders show the open image while expanded.
    EXPECT_EQ(Korl_WorkspaceWindow::ImageOf(tree.SourceFolder()), kImageFolderOpen);
    tree.SourceFolder()->setExpanded(false);
    EXPECT_EQ(Korl_WorkspaceWindow::ImageOf(tree.SourceFolder()), kImageFolderClosed);
    tree.SourceFolder()->setExpanded(true);

    // Removing the first source renumbers the tags of the following nodes.
    QSignalSpy removed(&tree, &Korl_WorkspaceWindow::itemRemoved);
    tree.setCurrentItem(tree.SourceFolder()->child(0));
    QTest::keyClick(&tree, Qt::Key_Delete);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][1].toString(), "a.cpp");
    EXPECT_EQ(Names(tree.SourceFolder()), QStringList({"b.cpp", "c.cpp"}));
    EXPECT_EQ(Korl_WorkspaceWindow::TagOf(tree.SourceFolder()->child(0))->index, 0u);
    EXPECT_EQ(Korl_WorkspaceWindow::TagOf(tree.SourceFolder()->child(1))->index, 1u);
    EXPECT_EQ(p.project.Sources()[1].name, "c.cpp");
    EXPECT_TRUE(p.project.IsModified());
    EXPECT_TRUE(QFile::exists(p.Path("a.cpp")));

    // Root and folders ignore Delete.
    tree.setCurrentItem(tree.SourceFolder());
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_EQ(removed.size(), 1);
}

TEST(Workspace, OpenAndContextMenu) {
    OpenProject p;
    Korl_WorkspaceWindow tree(p.project);
    QTemporaryDir other;
    Touch(p.Path("top.cpp"));
    Touch(other.filePath("far.h"));
    p.project.AddExistingFiles({p.Path("top.cpp").toStdString(), other.filePath("far.h").toStdString()});

    QSignalSpy open(&tree, &Korl_WorkspaceWindow::openRequested);
    tree.setCurrentItem(tree.SourceFolder()->child(0));
    QTest::keyClick(&tree, Qt::Key_Return);
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0][0].toString(), p.Path("top.cpp"));
    EXPECT_EQ(open[0][1].toString(), "top.cpp");
    tree.OpenNode(tree.HeaderFolder()->child(0));
    EXPECT_EQ(open[1][1].toString(), other.filePath("far.h")); // outside: the full path

    QMenu* menu = tree.ContextMenuFor(tree.HeaderFolder()->child(0));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&WorkSpace");
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    EXPECT_EQ(texts, QStringList({"&Open", "&Remove", "&Compile"}));
    EXPECT_FALSE(menu->actions()[2]->isEnabled());
    EXPECT_TRUE(tree.ContextMenuFor(tree.SourceFolder()->child(0))->actions()[2]->isEnabled());
    EXPECT_EQ(tree.ContextMenuFor(tree.RootNode()), nullptr);
}

TEST(Workspace, AddExistingSkipsDuplicatesAndOtherExtensions) {
    Answers answers;
    OpenProject p;
    Korl_WorkspaceWindow tree(p.project);
    for (const char* n : {"x.cpp", "X.CPP", "y.hpp", "z.txt"}) Touch(p.Path(n));
    answers.results << FileDialogResult{true,
                                        {p.Path("x.cpp"), p.Path("X.CPP"), p.Path("y.hpp"), p.Path("z.txt")},
                                        0}
                    << FileDialogResult{true, {p.Path("x.cpp")}, 0};
    ASSERT_TRUE(AddExistingFilesDialog(nullptr, p.project));
    ASSERT_TRUE(AddExistingFilesDialog(nullptr, p.project));
    EXPECT_EQ(Names(tree.SourceFolder()), QStringList({"x.cpp"}));
    EXPECT_EQ(Names(tree.HeaderFolder()), QStringList({"y.hpp"}));
    ASSERT_EQ(answers.requests.size(), 2);
    EXPECT_EQ(answers.requests[0].directory, QString::fromStdString(p.project.Directory()));
    EXPECT_EQ(answers.requests[0].filters[0].description, "Source/Header Files (*.c;*.cc;*.cpp;*h;*hpp)");

    // Cancelling changes nothing.
    p.project.Save();
    EXPECT_FALSE(AddExistingFilesDialog(nullptr, p.project));
    EXPECT_FALSE(p.project.IsModified());
}

TEST(Workspace, AddNewFileCompletesTheNameByFilter) {
    Answers answers;
    OpenProject p;
    Korl_WorkspaceWindow tree(p.project);
    answers.results << FileDialogResult{true, {p.Path("top")}, 1}
                    << FileDialogResult{true, {p.Path("odd.hpp")}, 0};
    auto r = AddNewFileDialog(nullptr, p.project);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(QString::fromStdString(r->path), p.Path("top.h"));
    EXPECT_TRUE(QFile::exists(p.Path("top.h")));
    EXPECT_EQ(Names(tree.HeaderFolder()), QStringList({"top.h"}));
    r = AddNewFileDialog(nullptr, p.project);
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(QFile::exists(p.Path("odd.hpp")));
    EXPECT_EQ(tree.HeaderFolder()->childCount() + tree.SourceFolder()->childCount(), 1);
}

TEST(Workspace, NewProjectAppendsTheExtensionAndClosePromptAsks) {
    Answers answers;
    QTemporaryDir dir;
    Project project;
    project.SetClosePrompt(MakeClosePrompt(nullptr));
    Korl_WorkspaceWindow tree(project);
    answers.results << FileDialogResult{true, {dir.filePath("design")}, 0};
    ASSERT_TRUE(NewProjectDialog(nullptr, project));
    EXPECT_TRUE(QFile::exists(dir.filePath("design.k1")));
    EXPECT_EQ(tree.RootNode()->text(0), "design");
    EXPECT_EQ(answers.requests[0].filters[0].description, "Project Files (*.k1)");

    project.SetExtraIncludes("inc");
    EXPECT_TRUE(project.Close(PromptButtons::YesNo)); // answered No: closed without saving
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages[0], "design has been modified. Save it?");
    EXPECT_EQ(answers.buttons[0], QMessageBox::Save | QMessageBox::Discard);
    EXPECT_EQ(tree.topLevelItemCount(), 0);
}

TEST(Workspace, DeleteAsksOnceUnlessToldNotTo) {
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    Answers answers;
    OpenProject p;
    Korl_WorkspaceWindow tree(p.project);
    for (const char* n : {"a.cpp", "b.cpp", "c.cpp"}) Touch(p.Path(n));
    p.project.AddExistingFiles(
        {p.Path("a.cpp").toStdString(), p.Path("b.cpp").toStdString(), p.Path("c.cpp").toStdString()});
    QSignalSpy removed(&tree, &Korl_WorkspaceWindow::itemRemoved);

    // No keeps the file in the project; one question per Delete.
    tree.setCurrentItem(tree.SourceFolder()->child(0));
    QTest::keyClick(&tree, Qt::Key_Delete);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_TRUE(answers.messages[0].startsWith("Remove a.cpp from the project?"));
    EXPECT_EQ(removed.size(), 0);

    // Yes with "Do not ask again": removed, and the next Delete asks nothing.
    answers.answer = QMessageBox::Yes;
    answers.tick = true;
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_EQ(removed.size(), 1);
    tree.setCurrentItem(tree.SourceFolder()->child(0));
    QTest::keyClick(&tree, Qt::Key_Delete);
    EXPECT_EQ(removed.size(), 2);
    EXPECT_EQ(answers.messages.size(), 2);
    EXPECT_TRUE(QSettings().value(Korl_WorkspaceWindow::kConfirmRemoveKey).toBool());
    EXPECT_EQ(Names(tree.SourceFolder()), QStringList({"c.cpp"}));
}

TEST(OptionsSheet, PagesPassTheirValuesToTheSetters) {
    QTemporaryDir dir;
    Project project;
    project.NewProject(dir.filePath("counter.k1").toStdString());
    Korl_ProjectPropertySheet sheet(project);
    EXPECT_EQ(sheet.windowTitle(), "Project Options");
    ASSERT_EQ(sheet.Tabs()->count(), 3);
    EXPECT_EQ(sheet.Tabs()->tabText(0), "General");
    EXPECT_EQ(sheet.Tabs()->tabText(1), "C++");
    EXPECT_EQ(sheet.Tabs()->tabText(2), "Link");
    EXPECT_EQ(sheet.General()->vcdFileName->text(), "counter");

    // Unchanged values leave the project clean.
    sheet.Apply();
    EXPECT_FALSE(project.IsModified());

    sheet.General()->vcdFileName->setText("  /sim/trace.vcd ");
    sheet.Cpp()->preprocessor->setText(" a , b ");
    sheet.Cpp()->includes->setText("  /my inc,/x  ");
    sheet.Link()->libraries->setText("libm.a, x.o");
    sheet.Link()->libraryPaths->setText(" /opt/lib ");
    sheet.accept();
    EXPECT_EQ(project.VcdFileName(), "trace");
    EXPECT_EQ(project.ExtraPreprocessor(), "a,b");
    EXPECT_EQ(project.ExtraIncludes(), "/my inc,/x");
    EXPECT_EQ(project.ExtraLibraries(), "libm.a,x.o");
    EXPECT_EQ(project.ExtraLibraryPaths(), "/opt/lib");
    EXPECT_TRUE(project.IsModified());

    // Cancel keeps the stored values.
    Korl_ProjectPropertySheet again(project);
    again.Cpp()->preprocessor->setText("zzz");
    again.reject();
    EXPECT_EQ(project.ExtraPreprocessor(), "a,b");
}

TEST(OptionsSheet, BuildJobsAreASettingOfThisMachine) {
    QTemporaryDir dir;
    // Settings of this test only, whatever runs beside it.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    Project project;
    project.NewProject(dir.filePath("jobs.k1").toStdString());
    Korl_ProjectPropertySheet sheet(project);
    EXPECT_EQ(sheet.General()->buildJobs->value(), 0); // one per processor
    sheet.General()->buildJobs->setValue(3);
    sheet.accept();
    EXPECT_EQ(Korl_ProjectPropertySheet::BuildJobsSetting(), 3);
    EXPECT_FALSE(project.IsModified()); // not a project option
    Korl_ProjectPropertySheet again(project);
    EXPECT_EQ(again.General()->buildJobs->value(), 3);
    again.General()->buildJobs->setValue(1);
    again.reject();
    EXPECT_EQ(Korl_ProjectPropertySheet::BuildJobsSetting(), 3);
}

// Editor documents: identity, loading, saving, outside changes, titles, closing.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/file_io.h"
#include "editor_test_support.h"

namespace {

ino_t InodeOf(const QString& path) {
    struct stat st {};
    ::stat(path.toLocal8Bit().constData(), &st);
    return st.st_ino;
}

int FilesIn(const QString& dirPath) {
    return static_cast<int>(
        QDir(dirPath).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size());
}

} // namespace

TEST_F(EditorTest, SamePathAndShortNameFindTheSameDocument) {
    const QString path = Make("counter.cpp", "int x;\n");
    Korl_EditorChildFrame* first = manager->OpenDocument(path, QStringLiteral("counter.cpp"));
    ASSERT_NE(first, nullptr);
    manager->NewDocument();
    EXPECT_EQ(manager->ActiveChild()->View()->DocumentTitle(), QStringLiteral("Untitled"));

    // Opening again activates the first child instead of loading a second copy.
    EXPECT_EQ(manager->OpenDocument(path, QStringLiteral("counter.cpp")), first);
    EXPECT_EQ(manager->ActiveChild(), first);
    EXPECT_EQ(manager->Documents().size(), 2);

    // A debugger stop outside the project directory names it by its full path:
    // a different identity, so a second document.
    Korl_EditorChildFrame* byFullPath = manager->OpenDocument(path, path);
    ASSERT_NE(byFullPath, nullptr);
    EXPECT_NE(byFullPath, first);
    EXPECT_EQ(manager->FindDocument(path, QStringLiteral("counter.cpp")), first);
    EXPECT_EQ(manager->Documents().size(), 3);
}

TEST_F(EditorTest, ShortNameRules) {
    EXPECT_EQ(Korl_EditorManager::FileNameRule(QStringLiteral("/w/p/main.cpp")), QStringLiteral("main.cpp"));
    EXPECT_EQ(Korl_EditorManager::ProjectRule(QStringLiteral("/w/p/main.cpp"), QStringLiteral("/w/p/")),
              QStringLiteral("main.cpp"));
    EXPECT_EQ(Korl_EditorManager::ProjectRule(QStringLiteral("/w/p/sub/a.cpp"), QStringLiteral("/w/p/")),
              QStringLiteral("/w/p/sub/a.cpp"));
    EXPECT_EQ(
        Korl_EditorManager::ProjectRule(QStringLiteral("/usr/include/systemc.h"), QStringLiteral("/w/p/")),
        QStringLiteral("/usr/include/systemc.h"));
}

TEST_F(EditorTest, LoadFailureReportsAndLeavesNoDocument) {
    const QString missing = Path("missing.cpp");
    EXPECT_EQ(manager->OpenDocument(missing, QStringLiteral("missing.cpp")), nullptr);
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_EQ(prompts.warnings[0],
              QStringLiteral("Failed to load: %1\n\nNo such file or directory").arg(missing));
    FlushDeletes();
    EXPECT_TRUE(manager->Documents().isEmpty());
    EXPECT_TRUE(area->subWindowList().isEmpty());

    // A folder is not a file either.
    EXPECT_EQ(manager->OpenDocument(dir.path(), QStringLiteral("x")), nullptr);
    EXPECT_EQ(prompts.warnings.size(), 2u);

    // Nor is a file too big to edit (sparse, so the test writes nothing).
    const QString huge = Path("huge.cpp");
    WriteText(huge, "");
    ASSERT_EQ(::truncate(huge.toLocal8Bit().constData(), korl_editor::kMaxEditableFileBytes + 1), 0);
    EXPECT_EQ(manager->OpenDocument(huge, QStringLiteral("huge.cpp")), nullptr);
    ASSERT_EQ(prompts.warnings.size(), 3u);
    EXPECT_EQ(prompts.warnings[2], QStringLiteral("Failed to load: %1\n\nFile too large").arg(huge));
    FlushDeletes();
    EXPECT_TRUE(manager->Documents().isEmpty());
}

TEST_F(EditorTest, BinaryContentRoundTripsByteForByte) {
    std::string bytes("a\0b\xff\xfe\r\nline\twith tab\n\x80\x81", 24);
    const QString path = Make("blob.h", bytes);
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);
    // An edit and its undo leave the bytes as they were, invalid UTF-8 included.
    view->Control()->insertAt(QStringLiteral("x"), 0, 0);
    view->Control()->undo();
    ASSERT_TRUE(view->SaveDocumentTo(Path("copy.h")));
    EXPECT_EQ(ReadText(Path("copy.h")), bytes);

    // Line texts handed to the panes are bounded.
    view->Control()->SetBytes(QByteArray(100000, 'q'));
    EXPECT_EQ(view->Control()->LineText(0).size(), 1023);
}

TEST_F(EditorTest, SaveWritesNothingForAnUnchangedDocument) {
    const QString path = Make("a.cpp", "int a;\n");
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);
    const ino_t before = InodeOf(path);
    const std::int64_t time = view->StoredWriteTime();
    EXPECT_TRUE(view->OnCommand(korl_cmd::FileSave));
    EXPECT_EQ(InodeOf(path), before); // a write would have renamed a new file in
    EXPECT_EQ(view->StoredWriteTime(), time);

    // A file changed on disk is written even when the text is unchanged.
    WriteText(path, "changed elsewhere\n");
    TouchLater(path, 5);
    EXPECT_TRUE(view->SaveDocument());
    EXPECT_EQ(ReadText(path), "int a;\n");
}

TEST_F(EditorTest, SaveReplacesTheFileAndKeepsItsPermissions) {
    const QString path = Make("a.cpp", "int a;\n");
    ::chmod(path.toLocal8Bit().constData(), 0640);
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);
    view->Control()->insertAt(QStringLiteral("// new\n"), 0, 0);
    EXPECT_EQ(view->DocumentTitle(), QStringLiteral("a.cpp*"));
    EXPECT_EQ(view->ChildFrame()->windowTitle(), QStringLiteral("a.cpp*"));

    const ino_t before = InodeOf(path);
    ASSERT_TRUE(view->SaveDocument());
    EXPECT_EQ(ReadText(path), "// new\nint a;\n");
    EXPECT_NE(InodeOf(path), before);
    struct stat st {};
    ::stat(path.toLocal8Bit().constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesIn(dir.path()), 1); // no temporary left beside it
    EXPECT_EQ(view->ChildFrame()->windowTitle(), QStringLiteral("a.cpp"));
    EXPECT_EQ(view->StoredWriteTime(), korl_editor::FileWriteTime(path.toStdString()));
}

TEST_F(EditorTest, SavingThroughALinkReplacesItsTarget) {
    const QString target = Make("real.cpp", "old\n");
    const QString link = Path("link.cpp");
    ASSERT_EQ(::symlink("real.cpp", link.toLocal8Bit().constData()), 0);
    Korl_EditorView* view = Open(link);
    ASSERT_NE(view, nullptr);
    view->Control()->insertAt(QStringLiteral("new "), 0, 0);
    ASSERT_TRUE(view->SaveDocument());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadText(target), "new old\n");
}

TEST_F(EditorTest, FailedSaveKeepsTheOldFileAndTheModifiedText) {
    const QString path = Make("big.cpp", "original\n");
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);
    view->Control()->SetBytes(QByteArray(64 * 1024, 'x'));
    view->Control()->insertAt(QStringLiteral("y"), 0, 0);

    // The file-size limit makes the write fail half way, as a full disk would.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = view->SaveDocument();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_EQ(prompts.warnings[0], QStringLiteral("Error: Failed to save: %1\n\nFile too large").arg(path));
    EXPECT_EQ(ReadText(path), "original\n");
    EXPECT_EQ(FilesIn(dir.path()), 1);
    EXPECT_TRUE(view->IsModified());
    EXPECT_EQ(view->FullPath(), path);
}

TEST_F(EditorTest, SaveAsTakesTheNewPathAndName) {
    Korl_EditorView* view = manager->NewDocument()->View();
    view->Control()->insert(QStringLiteral("void f();\n"));
    EXPECT_EQ(view->DocumentTitle(), QStringLiteral("Untitled*"));

    prompts.saveAsPath.clear(); // cancelled dialog
    EXPECT_FALSE(view->SaveDocument());
    EXPECT_TRUE(view->FullPath().isEmpty());

    prompts.saveAsPath = Path("f.h");
    EXPECT_TRUE(view->SaveDocument());
    EXPECT_EQ(view->FullPath(), Path("f.h"));
    EXPECT_EQ(view->ShortName(), QStringLiteral("f.h"));
    EXPECT_EQ(view->DocumentTitle(), QStringLiteral("f.h"));
    EXPECT_EQ(ReadText(Path("f.h")), "void f();\n");
    EXPECT_EQ(manager->FindDocument(Path("f.h"), QStringLiteral("f.h")), view->ChildFrame());
}

TEST_F(EditorTest, OutsideChangeIsAskedOncePerChange) {
    const QString path = Make("a.cpp", "mine\n");
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);

    view->CheckForOutsideChange();
    EXPECT_TRUE(prompts.questions.empty());

    WriteText(path, "theirs\n");
    TouchLater(path, 2);
    prompts.answer = false;
    view->CheckForOutsideChange();
    view->CheckForOutsideChange();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(
        prompts.questions[0],
        QStringLiteral(
            "a.cpp\n\nThis file has been modified outside of\nthis application.  Do you want to reload it?"));
    EXPECT_EQ(view->Control()->Bytes(), QByteArray("mine\n"));

    WriteText(path, "theirs again\n");
    TouchLater(path, 4);
    prompts.answer = true;
    view->CheckForOutsideChange();
    view->CheckForOutsideChange();
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(view->Control()->Bytes(), QByteArray("theirs again\n"));
    EXPECT_FALSE(view->IsModified());

    // A vanished file counts as unchanged.
    QFile::remove(path);
    view->CheckForOutsideChange();
    EXPECT_EQ(prompts.questions.size(), 2u);
}

TEST_F(EditorTest, ClosingAModifiedDocumentAsksOnce) {
    const QString path = Make("a.cpp", "old\n");
    Korl_EditorView* view = Open(path);
    view->Control()->insertAt(QStringLiteral("new "), 0, 0);
    prompts.answer = false;
    view->ChildFrame()->close();
    FlushDeletes();
    EXPECT_EQ(prompts.questions, std::vector<QString>{QStringLiteral("Save Changes to file?")});
    EXPECT_TRUE(manager->Documents().isEmpty());
    EXPECT_EQ(ReadText(path), "old\n");

    view = Open(path);
    view->Control()->insertAt(QStringLiteral("new "), 0, 0);
    prompts.answer = true;
    view->ChildFrame()->close();
    FlushDeletes();
    EXPECT_EQ(ReadText(path), "new old\n");
    EXPECT_TRUE(manager->Documents().isEmpty());
}

TEST_F(EditorTest, CancelOrAFailedSaveKeepsTheDocumentOpen) {
    const QString path = Make("a.cpp", "old\n");
    Korl_EditorView* view = Open(path);
    view->Control()->insertAt(QStringLiteral("new "), 0, 0);
    prompts.cancel = true;
    EXPECT_FALSE(view->ChildFrame()->close());
    EXPECT_EQ(prompts.savePromptNames, std::vector<QString>{path});
    EXPECT_EQ(manager->Documents().size(), 1);
    EXPECT_TRUE(view->IsModified());

    // An untitled document whose Save As is cancelled stays as well.
    Korl_EditorChildFrame* untitled = manager->NewDocument();
    untitled->View()->Control()->insert(QStringLiteral("draft"));
    prompts.cancel = false;
    prompts.answer = true; // Save, then no file chosen
    EXPECT_FALSE(untitled->close());
    EXPECT_EQ(prompts.savePromptNames.back(), QStringLiteral("Untitled"));

    // Asked ahead for all: one Cancel forgets the Discard given before it.
    prompts.answer = false;
    EXPECT_TRUE(manager->QueryCloseAll());
    prompts.answer = true;
    manager->ForgetCloseAnswers();
    prompts.cancel = true;
    EXPECT_FALSE(manager->CloseAllDocuments());
    EXPECT_EQ(manager->Documents().size(), 2);
    prompts.cancel = false;
    prompts.answer = false;
    EXPECT_TRUE(manager->CloseAllDocuments());
    FlushDeletes();
    EXPECT_TRUE(manager->Documents().isEmpty());
    EXPECT_EQ(ReadText(path), "old\n");
}

TEST_F(EditorTest, IndentationFollowsTheFile) {
    using Ind = Korl_EditControl::Indentation;
    auto detect = [](const char* text) { return Korl_EditControl::DetectIndentation(QByteArray(text)); };
    EXPECT_TRUE(detect("int f() {\n\treturn 0;\n}\n").tabs);
    Ind spaces = detect("int f() {\n    if (x) {\n        y();\n    }\n}\n");
    EXPECT_FALSE(spaces.tabs);
    EXPECT_EQ(spaces.width, 4);
    Ind two = detect("a\n  b\n    c\n  d\n");
    EXPECT_FALSE(two.tabs);
    EXPECT_EQ(two.width, 2);
    // Block comment bodies and blank lines say nothing; a flat file keeps the fallback.
    EXPECT_TRUE(detect("/*\n * one\n * two\n */\nint x;\n\n").tabs);
    EXPECT_EQ(Korl_EditControl::DetectIndentation("x\n", Ind{false, 3}).width, 3);
    // The majority decides a mixed file.
    EXPECT_FALSE(detect("a\n    b\n    c\n\td\n").tabs);

    // Enter after a line indented with blanks indents with blanks.
    const QString path = Make("spaces.cpp", "void f() {\n    int a;\n}\n");
    Korl_EditorView* view = Open(path);
    Korl_EditControl* c = view->Control();
    EXPECT_FALSE(c->CurrentIndentation().tabs);
    c->setCursorPosition(1, 10);
    QTest::keyClick(c, Qt::Key_Return);
    QTest::keyClicks(c, "b;");
    EXPECT_EQ(c->LineText(2), QStringLiteral("    b;"));

    const QString tabs = Make("tabs.cpp", "void f() {\n\tint a;\n}\n");
    c = Open(tabs)->Control();
    EXPECT_TRUE(c->CurrentIndentation().tabs);
    c->setCursorPosition(1, 7);
    QTest::keyClick(c, Qt::Key_Return);
    QTest::keyClicks(c, "b;");
    EXPECT_EQ(c->LineText(2), QStringLiteral("\tb;"));
}

TEST_F(EditorTest, ProblemMarksFollowTheirTextAndCoverLaterDocuments) {
    const QString a = Make("a.cpp", "one\ntwo\nthree\n");
    const QString b = Make("b.cpp", "x\ny\n");
    Korl_EditorView* view = Open(a);
    manager->SetProblems({{a, 2, true, "bad two"},
                          {a, 3, false, "odd three"},
                          {b, 1, true, "bad x"},
                          {a, 99, true, "beyond the end"}});
    Korl_EditControl* c = view->Control();
    EXPECT_EQ(c->ProblemMarkLines(), (QList<int>{1, 2}));
    EXPECT_EQ(c->ProblemTip(1), QStringLiteral("bad two"));
    // Resting the pointer on the mark shows the message.
    area->show();
    const int y = int(c->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0,
                                       c->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 1))) +
                  3;
    QHelpEvent help(QEvent::ToolTip, QPoint(4, y), c->viewport()->mapToGlobal(QPoint(4, y)));
    QApplication::sendEvent(c->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("bad two"));
    QToolTip::hideText();
    // A line inserted above moves the marks with their text.
    c->insertAt(QStringLiteral("zero\n"), 0, 0);
    EXPECT_EQ(c->ProblemMarkLines(), (QList<int>{2, 3}));
    EXPECT_EQ(c->ProblemTip(3), QStringLiteral("odd three"));
    // A document opened afterwards gets its marks too; an empty list clears all.
    Korl_EditorView* other = Open(b);
    EXPECT_EQ(other->Control()->ProblemMarkLines(), (QList<int>{0}));
    manager->SetProblems({});
    EXPECT_TRUE(c->ProblemMarkLines().isEmpty());
    EXPECT_TRUE(other->Control()->ProblemMarkLines().isEmpty());
}

TEST_F(EditorTest, OpenCorrespondingPrefersCppOverCc) {
    const QString h = Make("unit.h", "");
    const QString cc = Make("unit.cc", "");
    Make("other.CPP", "");

    EXPECT_EQ(Korl_EditorView::CorrespondingCandidates(QStringLiteral("/x/a.h")),
              (QStringList{QStringLiteral("/x/a.cpp"), QStringLiteral("/x/a.cc")}));
    EXPECT_TRUE(Korl_EditorView::CorrespondingCandidates(QStringLiteral("/x/a.CPP")).isEmpty());

    Korl_EditorView* header = Open(h);
    header->OnCommand(korl_cmd::OpenCorresponding);
    ASSERT_NE(manager->ActiveView(), header);
    EXPECT_EQ(manager->ActiveView()->FullPath(), cc);
    EXPECT_EQ(manager->ActiveView()->ShortName(), QStringLiteral("unit.cc"));

    const QString cpp = Make("unit.cpp", "");
    header->OnCommand(korl_cmd::OpenCorresponding);
    EXPECT_EQ(manager->ActiveView()->FullPath(), cpp);

    // From the source back to the header: the existing document is reused.
    manager->ActiveView()->OnCommand(korl_cmd::OpenCorresponding);
    EXPECT_EQ(manager->ActiveView(), header);
    EXPECT_EQ(manager->Documents().size(), 3);

    // Case matters: .CPP has no corresponding file.
    Korl_EditorView* upper = Open(Path("other.CPP"));
    upper->OnCommand(korl_cmd::OpenCorresponding);
    EXPECT_EQ(manager->ActiveView(), upper);
}

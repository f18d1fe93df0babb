// Line marks, the debugger's queries, find, commands and the Compile pane colouring.
#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <algorithm>
#include <QSignalSpy>
#include <QTest>

#include "editor/language.h"
#include "editor/output_control.h"
#include "editor_test_support.h"

namespace {

// Deletes whole lines [first, last] (0-based) as a selection and Delete would.
void DeleteLines(Korl_EditControl* c, int first, int last) {
    c->setSelection(first, 0, last + 1, 0);
    c->RunCommand(Korl_EditControl::CmdDelete);
}

int StyleAt(Korl_EditControl* c, int line, int column) {
    const long pos = c->SendScintilla(QsciScintilla::SCI_FINDCOLUMN, line, column);
    return static_cast<int>(c->SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
}

} // namespace

TEST_F(EditorTest, BreakpointMarksFollowTheTable) {
    const QString path = Make("m.cpp", NumberedLines(30));
    host.records = {{path, 3}, {Path("other.cpp"), 5}, {path, 20}};
    Korl_EditorView* view = Open(path);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{2, 19}));

    // F9 on editor line 12 makes the record for line 12 and marks control line 11.
    view->Control()->setCursorPosition(11, 3);
    view->OnCommand(korl_cmd::ToggleBreakpoint);
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{3, 20, 12}));
    EXPECT_TRUE(view->HasBreakpointMark(11));
    EXPECT_EQ(view->Control()->LineStyle(11) & 2, 2);
    view->OnCommand(korl_cmd::ToggleBreakpoint);
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{3, 20}));
    EXPECT_FALSE(view->HasBreakpointMark(11));

    // A click in the mark margin toggles too.
    Korl_EditControl* c = view->Control();
    c->SendScintilla(QsciScintilla::SCI_SETFIRSTVISIBLELINE, 0);
    const long y = c->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL,
                                    c->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 6)) +
                   c->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 6) / 2;
    const int x = c->marginWidth(0) + c->marginWidth(1) / 2;
    QTest::mouseClick(c->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, static_cast<int>(y)));
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{3, 20, 7}));
    EXPECT_TRUE(view->HasBreakpointMark(6));
    view->ToggleBreakpointAt(6);
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{3, 20}));

    // gdb put the breakpoint of line 3 on line 4: record and mark follow.
    host.records = {{path, 4}, {path, 20}};
    manager->MoveBreakpointMark(path, 3, 4);
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{3, 19}));

    // The same file opened under its full path as well shows the same marks.
    Korl_EditorView* twin = manager->OpenDocument(path, path)->View();
    ASSERT_NE(twin, view);
    EXPECT_EQ(twin->BreakpointMarkLines(), (QList<int>{3, 19}));
    twin->ToggleBreakpointAt(0);
    EXPECT_TRUE(view->HasBreakpointMark(0));
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{4, 20, 1}));
}

TEST_F(EditorTest, DeletingMarkedLinesRemovesTheirBreakpoints) {
    const QString path = Make("m.cpp", NumberedLines(30));
    host.records = {{path, 3}, {path, 6}, {path, 10}, {path, 25}};
    Korl_EditorView* view = Open(path);
    Korl_EditControl* c = view->Control();
    ASSERT_EQ(view->BreakpointMarkLines(), (QList<int>{2, 5, 9, 24}));

    // Whole lines 2..5 (0-based) go: the marks of lines 3 and 6 leave with
    // them instead of sliding onto a neighbour.
    DeleteLines(c, 2, 5);
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{10, 25}));
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{5, 20}));
    EXPECT_EQ(c->LineText(1), QStringLiteral("line 2"));
    EXPECT_EQ(c->LineText(2), QStringLiteral("line 7"));
    EXPECT_FALSE(view->HasBreakpointMark(2));

    // Undo brings the text back; the removed records stay removed.
    c->undo();
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{10, 25}));

    // Joining a marked line onto the line above deletes it as a line.
    const QString joined = Make("j.cpp", NumberedLines(10));
    host.records = {{joined, 4}, {joined, 8}};
    view = Open(joined);
    c = view->Control();
    c->setCursorPosition(3, 0);
    QTest::keyClick(c, Qt::Key_Backspace);
    EXPECT_EQ(c->LineText(2), QStringLiteral("line 3line 4"));
    EXPECT_EQ(host.LinesOf(joined), (std::vector<int>{8}));
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{6}));

    // Deleting the text inside a marked line keeps the line and its mark.
    c->setSelection(6, 0, 6, 6);
    c->RunCommand(Korl_EditControl::CmdDelete);
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{6}));
    EXPECT_EQ(host.LinesOf(joined), (std::vector<int>{8}));

    // Erase All takes every line with it.
    view->SetBreakpointMark(0, true);
    host.records = {{joined, 1}};
    view->OnCommand(korl_cmd::EditEraseAll);
    EXPECT_TRUE(host.LinesOf(joined).empty());
    EXPECT_TRUE(view->BreakpointMarkLines().isEmpty());
}

TEST_F(EditorTest, AFollowingTableStaysInStepWithTheMarks) {
    const QString path = Make("k.cpp", NumberedLines(40));
    host.follow = true;
    host.records = {{path, 5}, {path, 12}, {path, 30}};
    Korl_EditorView* view = Open(path);
    Korl_EditControl* c = view->Control();
    auto inStep = [&] {
        std::vector<int> marks;
        for (int l : view->BreakpointMarkLines()) marks.push_back(l + 1);
        std::vector<int> records = host.LinesOf(path);
        std::sort(records.begin(), records.end());
        return std::make_pair(marks, records);
    };

    c->insertAt(QStringLiteral("a\nb\n"), 0, 0); // two lines above every mark
    EXPECT_EQ(inStep().first, (std::vector<int>{7, 14, 32}));
    EXPECT_EQ(inStep().first, inStep().second);

    DeleteLines(c, 8, 13); // lines 9..14: the mark on 14 goes, 32 moves up
    EXPECT_EQ(inStep().first, (std::vector<int>{7, 26}));
    EXPECT_EQ(inStep().first, inStep().second);

    c->undo(); // the text returns, the removed breakpoint does not
    EXPECT_EQ(inStep().first, (std::vector<int>{7, 32}));
    EXPECT_EQ(inStep().first, inStep().second);

    c->setCursorPosition(6, 0); // join the marked line 7 onto line 6
    QTest::keyClick(c, Qt::Key_Backspace);
    EXPECT_EQ(inStep().first, (std::vector<int>{31}));
    EXPECT_EQ(inStep().first, inStep().second);
}

TEST_F(EditorTest, ReloadKeepsMarksOnLinesThatStillExist) {
    const QString path = Make("r.cpp", NumberedLines(10));
    host.records = {{path, 2}, {path, 9}};
    Korl_EditorView* view = Open(path);
    WriteText(path, NumberedLines(5));
    TouchLater(path, 3);
    prompts.answer = true;
    view->CheckForOutsideChange();
    EXPECT_EQ(view->BreakpointMarkLines(), (QList<int>{1}));
    EXPECT_EQ(host.LinesOf(path), (std::vector<int>{2}));
}

TEST_F(EditorTest, StopLineAndRunToCursorQueries) {
    const QString path = Make("s.cpp", NumberedLines(40));
    Korl_EditorChildFrame* child = manager->ShowPosition(path, QStringLiteral("s.cpp"), 17);
    ASSERT_NE(child, nullptr);
    Korl_EditorView* view = child->View();
    EXPECT_EQ(view->HighlightedLine(), 17);
    EXPECT_EQ(view->Control()->CaretLine(), 17);
    EXPECT_EQ(view->CaretLineQuery(), 18);
    EXPECT_EQ(view->FullPath(), path);

    // The stop line's colour shows although the caret stands on it.
    {
        Korl_EditControl* c = view->Control();
        c->resize(600, 800);
        c->ensureLineVisible(17);
        const long pos = c->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 17);
        const int y = int(c->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0, pos)) +
                      int(c->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 17)) / 2;
        const QImage picture = c->viewport()->grab().toImage();
        ASSERT_LT(y, picture.height());
        const QColor seen = picture.pixelColor(picture.width() - 8, y);
        // Yellow: much more red than blue.
        EXPECT_GT(seen.red() - seen.blue(), 40) << seen.name().toStdString();
    }

    // The next stop in the same file moves the one highlighted line.
    manager->ShowPosition(path, QStringLiteral("s.cpp"), 30);
    EXPECT_EQ(view->HighlightedLine(), 30);
    EXPECT_EQ(manager->Documents().size(), 1);

    manager->ClearPosition(path, QStringLiteral("s.cpp"));
    EXPECT_EQ(view->HighlightedLine(), -1);

    manager->OpenDocumentAtLine(path, QStringLiteral("s.cpp"), 5);
    EXPECT_EQ(view->CaretLineQuery(), 6);
    EXPECT_EQ(view->HighlightedLine(), -1);
}

TEST_F(EditorTest, FindWrapsWithANotice) {
    const QString path = Make("f.cpp", "alpha beta\ngamma alpha\n");
    Korl_EditorView* view = Open(path);
    Korl_EditControl* c = view->Control();

    c->setCursorPosition(0, 0);
    EXPECT_TRUE(c->Find(QStringLiteral("alpha")));
    EXPECT_TRUE(prompts.notices.empty());
    EXPECT_TRUE(c->Find(QStringLiteral("alpha")));
    EXPECT_EQ(c->CaretLine(), 1);
    EXPECT_TRUE(prompts.notices.empty());

    // Find Next past the last match wraps to the first one and says so.
    view->OnCommand(korl_cmd::EditFindNext);
    ASSERT_EQ(prompts.notices.size(), 1u);
    EXPECT_EQ(prompts.notices[0], QStringLiteral("Passed end of file searching for 'alpha'"));
    int l1, c1, l2, c2;
    c->getSelection(&l1, &c1, &l2, &c2);
    EXPECT_EQ(std::make_tuple(l1, c1, l2, c2), std::make_tuple(0, 0, 0, 5));

    view->OnCommand(korl_cmd::EditFindPrevious);
    ASSERT_EQ(prompts.notices.size(), 2u);
    EXPECT_EQ(prompts.notices[1], QStringLiteral("Passed beginning of file searching for 'alpha'"));
    EXPECT_EQ(c->CaretLine(), 1);

    Korl_EditControl::SearchOptions exact;
    exact.matchCase = true;
    EXPECT_FALSE(c->Find(QStringLiteral("ALPHA"), true, exact));
    EXPECT_EQ(prompts.notices.back(), QStringLiteral("Cannot find 'ALPHA'"));

    EXPECT_EQ(c->ReplaceAll(QStringLiteral("alpha"), QStringLiteral("omega"), {}), 2);
    EXPECT_EQ(c->Bytes(), QByteArray("omega beta\ngamma omega\n"));
    c->undo();
    EXPECT_EQ(c->Bytes(), QByteArray("alpha beta\ngamma alpha\n"));
}

TEST_F(EditorTest, EditCommandsAndTheirStates) {
    const QString path = Make("e.cpp", "\tint Value;\n    x = 1;\n");
    Korl_EditorView* view = Open(path);
    bool enabled = true, checked = true;

    ASSERT_TRUE(view->CommandState(korl_cmd::EditUndo, &enabled, &checked));
    EXPECT_FALSE(enabled);
    view->CommandState(korl_cmd::FileSave, &enabled, &checked);
    EXPECT_FALSE(enabled);
    view->CommandState(korl_cmd::EditUpperCase, &enabled, &checked);
    EXPECT_FALSE(enabled);
    view->CommandState(korl_cmd::BookmarkNext, &enabled, &checked);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(view->CommandState(42771, &enabled, &checked)); // not an editor command
    EXPECT_FALSE(view->OnCommand(42771));

    view->Control()->setSelection(0, 1, 0, 10);
    view->OnCommand(korl_cmd::EditUpperCase);
    EXPECT_EQ(view->Control()->LineText(0), QStringLiteral("\tINT VALUE;"));
    view->CommandState(korl_cmd::EditUndo, &enabled, &checked);
    EXPECT_TRUE(enabled);
    view->CommandState(korl_cmd::FileSave, &enabled, &checked);
    EXPECT_TRUE(enabled);
    view->OnCommand(korl_cmd::EditLowerCase);
    EXPECT_EQ(view->Control()->LineText(0), QStringLiteral("\tint value;"));

    // Untabify and tabify keep the columns (tab width 4).
    view->Control()->setSelection(0, 0, 2, 0);
    view->OnCommand(korl_cmd::EditUntabify);
    EXPECT_EQ(view->Control()->LineText(0), QStringLiteral("    int value;"));
    view->OnCommand(korl_cmd::EditTabify);
    EXPECT_EQ(view->Control()->LineText(0), QStringLiteral("\tint value;"));
    EXPECT_EQ(view->Control()->LineText(1), QStringLiteral("\tx = 1;"));

    view->OnCommand(korl_cmd::EditShowWhitespace);
    view->CommandState(korl_cmd::EditShowWhitespace, &enabled, &checked);
    EXPECT_TRUE(checked);

    // Bookmarks: toggle two, walk forward with wrap, clear.
    view->Control()->setCursorPosition(1, 0);
    view->OnCommand(korl_cmd::BookmarkToggle);
    view->Control()->setCursorPosition(0, 0);
    view->OnCommand(korl_cmd::BookmarkToggle);
    view->CommandState(korl_cmd::BookmarkNext, &enabled, &checked);
    EXPECT_TRUE(enabled);
    view->OnCommand(korl_cmd::BookmarkNext);
    EXPECT_EQ(view->Control()->CaretLine(), 1);
    view->OnCommand(korl_cmd::BookmarkNext);
    EXPECT_EQ(view->Control()->CaretLine(), 0);
    view->OnCommand(korl_cmd::BookmarkPrevious);
    EXPECT_EQ(view->Control()->CaretLine(), 1);
    view->OnCommand(korl_cmd::BookmarkClearAll);
    EXPECT_EQ(view->Control()->BookmarkCount(), 0);

    // Match Brace goes to the partner and back.
    view->Control()->SetBytes("f(a, (b)) {}\n");
    view->Control()->setCursorPosition(0, 1);
    view->OnCommand(korl_cmd::EditMatchBrace);
    int line, col;
    view->Control()->getCursorPosition(&line, &col);
    EXPECT_EQ(col, 9);
    view->OnCommand(korl_cmd::EditMatchBrace);
    view->Control()->getCursorPosition(&line, &col);
    EXPECT_EQ(col, 1);
}

TEST_F(EditorTest, StatusPaneTexts) {
    const QString path = Make("st.cpp", "ab\n\tc\n");
    Korl_EditorView* view = Open(path);
    QSignalSpy spy(manager.get(), &Korl_EditorManager::statusTextsChanged);
    view->Control()->setCursorPosition(1, 1);
    EXPECT_EQ(view->PositionText(), QStringLiteral("Ln 2, Col 5")); // after a tab
    EXPECT_EQ(view->OvertypeText(), QString());
    EXPECT_EQ(view->ReadOnlyText(), QString());
    QTest::keyClick(view->Control(), Qt::Key_Insert);
    EXPECT_EQ(view->OvertypeText(), QStringLiteral("OVR"));
    view->Control()->setReadOnly(true);
    EXPECT_EQ(view->ReadOnlyText(), QStringLiteral("READ"));
    EXPECT_GT(spy.count(), 0);
    EXPECT_EQ(spy.last().at(0).toString(), QStringLiteral("Ln 2, Col 5"));
    EXPECT_EQ(spy.last().at(1).toString(), QStringLiteral("OVR"));

    view->ChildFrame()->close();
    FlushDeletes();
    ASSERT_GT(spy.count(), 0);
    EXPECT_EQ(spy.last().at(0).toString(), QString());
}

TEST(CompileOutTest, ErrorWarningAndSummaryLinesAreColoured) {
    Korl_OutputControl pane;
    pane.AppendText(QByteArrayLiteral(
        "Compiling...\r\ncounter.cpp\r\ncounter.cpp:7:3: error: 'x' was not declared\r\n"
        "counter.cpp:9: warning: unused variable y\r\ncounter - 1 error(s), 1 warning(s)\r\n"
        "counter - 0 error(s), 0 warning(s)\r\n"));
    pane.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
    using L = Korl_CompileOutLexer;
    EXPECT_EQ(StyleAt(&pane, 0, 0), L::Keyword);
    EXPECT_EQ(StyleAt(&pane, 1, 0), L::Default);
    EXPECT_EQ(StyleAt(&pane, 2, 0), L::ErrorLine);
    EXPECT_EQ(StyleAt(&pane, 2, 17), L::ErrorWord);
    EXPECT_EQ(StyleAt(&pane, 2, 30), L::ErrorLine);
    EXPECT_EQ(StyleAt(&pane, 3, 0), L::WarningLine);
    EXPECT_EQ(StyleAt(&pane, 3, 15), L::WarningWord);
    EXPECT_EQ(StyleAt(&pane, 4, 0), L::SummaryFailed);
    EXPECT_EQ(StyleAt(&pane, 5, 0), L::SummaryOk);
    EXPECT_NE(pane.lexer()->color(L::ErrorLine), pane.lexer()->color(L::Default));

    // Appending moves to the last line; typing is swallowed; Enter reports the line.
    EXPECT_EQ(pane.CaretLine(), 6);
    QSignalSpy activated(&pane, &Korl_OutputControl::lineActivated);
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClick(&pane, Qt::Key_Up);
    QTest::keyClicks(&pane, "zz");
    QTest::keyClick(&pane, Qt::Key_Delete);
    QTest::keyClick(&pane, Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 2);
    EXPECT_EQ(pane.LineText(2), QStringLiteral("counter.cpp:7:3: error: 'x' was not declared"));
    EXPECT_FALSE(pane.Bytes().contains("zz"));
}

// The debugger driven through the IDE window: F9, F5, the highlighted stop
// line, Examine values, the Stack pane, stepping, typed input and the end.
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include "tests/debugger/qt/wait.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/command_ids.h"
#include "frame/main_frame.h"
#include "frame/panes.h"
#include "debugger/gdb_session.h"
#include "debugger/qt/debug_controller.h"
#include "debugger/qt/stack_window.h"
#include "debugger/qt/watch_window.h"
#include "editor/editor_prompts.h"
#include "project/qt/dialogs.h"

using namespace korl;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

constexpr int kBuildMs = 180000; // a SystemC build on a busy machine
constexpr int kGdbMs = 30000;

// Lines (1-based) the test refers to.
constexpr int kTickFirstLine = 9;
constexpr int kTwiceLine = 5;

const char* kMain = R"(#include <string>
#include "top.h"

int top::twice(int v) {
    return v * 2;
}

void top::tick() {
    cnt = cnt + 1;
    bus.write(sc_lv<8>("01zx10zx"));
    int t = twice(3);
    if (t > 1000) cout << "never" << endl;
}

int sc_main(int, char*[]) {
    std::string name;
    cout << "name? " << flush;
    std::getline(std::cin, name);
    cout << "hello " << name << endl;
    sc_clock clk("clk", 10, SC_NS);
    top t("t");
    t.clk(clk);
    sc_start(35, SC_NS);
    cout << "done at " << sc_time_stamp() << endl;
    return 0;
}
)";

const char* kTop = R"(#include "systemc.h"

SC_MODULE(top) {
    sc_in<bool> clk;
    sc_signal<sc_lv<8> > bus;
    sc_uint<8> cnt;
    void tick();
    int twice(int v);
    SC_CTOR(top) : cnt(0) {
        SC_METHOD(tick);
        sensitive << clk.pos();
        dont_initialize();
    }
};
)";

const char* kProject =
    "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=1\nNoOfHFiles=1\n[Cpps]\nItem0=main.cpp\n[Hs]\n"
    "Item0=top.h\n[Extra]\nVCDFilename=dbg\nExtraPrp=\nExtraInc=\nExtraLib=\nExtraLibPath=\n";

void WriteIfChanged(const std::string& path, const std::string& text) {
    std::ifstream in(path);
    std::stringstream old;
    old << in.rdbuf();
    if (in && old.str() == text) return;
    std::ofstream(path) << text;
}

// The project lives in the build tree so that the debug build of a later
// test process finds its objects up to date: the program is compiled once.
QString ProjectFile() {
    const std::string dir = std::string(KORL_BINARY_DIR) + "/tests/debugger/qt/dbgproj";
    std::filesystem::create_directories(dir);
    WriteIfChanged(dir + "/main.cpp", kMain);
    WriteIfChanged(dir + "/top.h", kTop);
    WriteIfChanged(dir + "/dbgproj.k1", kProject);
    return QString::fromStdString(dir + "/dbgproj.k1");
}

// Test processes share the project directory: one debug build at a time.
struct BuildLock {
    int fd;
    BuildLock()
        : fd(::open((std::string(KORL_BINARY_DIR) + "/tests/debugger/qt/dbgproj.lock").c_str(),
                    O_CREAT | O_RDWR | O_CLOEXEC, 0644)) {
        if (fd >= 0) ::flock(fd, LOCK_EX);
    }
    ~BuildLock() {
        if (fd >= 0) ::close(fd);
    }
};

// Message boxes and editor prompts answered without showing.
struct Quiet {
    QStringList texts;
    Quiet() {
        SetMessageBoxHook([this](const MessageRequest& r) {
            texts << r.text;
            return QMessageBox::Ok;
        });
        Korl_EditorPrompts ep;
        ep.askYesNo = [this](QWidget*, const QString& t) {
            texts << t;
            return false;
        };
        ep.warn = [this](QWidget*, const QString& t) { texts << t; };
        ep.inform = [this](QWidget*, const QString& t) { texts << t; };
        ep.saveFileName = [](QWidget*, const QString&) { return QString(); };
        ep.askLine = [](QWidget*, int, int) { return 0; };
        Korl_SetEditorPrompts(ep);
    }
    ~Quiet() {
        SetMessageBoxHook({});
        Korl_ResetEditorPrompts();
    }
};

QString ConsoleText(Korl_MainFrame& frame) { return frame.ConsoleWindow()->toPlainText(); }

QString Value(Korl_WatchWindow* w, int row) {
    QTreeWidgetItem* item = w->Tree()->topLevelItem(row);
    return item ? item->text(1) : QString();
}

Korl_EditorView* ActiveView(Korl_MainFrame& frame) { return frame.Editors()->ActiveView(); }

bool ProcessGone(pid_t pid) {
    if (pid <= 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string all;
    std::getline(stat, all);
    const auto close = all.rfind(')');
    return close != std::string::npos && close + 2 < all.size() && all[close + 2] == 'Z';
}

struct Window {
    Quiet quiet;
    BuildLock lock;
    Korl_MainFrame frame{Korl_MainFrame::Options{false, false}};
    Korl_DebugController* debugger = InstallDebugger(frame, &frame);
    QString dir;

    Window() {
        frame.resize(1400, 900);
        frame.show();
        const QString k1 = ProjectFile();
        dir = QFileInfo(k1).absolutePath();
        frame.LoadProject(k1);
        for (auto pane : {Korl_Pane::Examine1, Korl_Pane::Stack}) frame.PaneDock(pane)->show();
    }
    QString Main() const { return dir + "/main.cpp"; }
};

} // namespace

TEST(DebugWindow, BreakWatchStackStepAndEnd) {
    Window w;
    Korl_MainFrame& frame = w.frame;
    ASSERT_TRUE(frame.ProjectOpen());

    // F9 in the process, on the caret line.
    ASSERT_TRUE(frame.OpenDocument(w.Main(), "main.cpp", kTickFirstLine - 1));
    ASSERT_TRUE(ActiveView(frame));
    ActiveView(frame)->GoToLine(kTickFirstLine - 1);
    frame.OnCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    ASSERT_EQ(frame.BreakpointLines(w.Main()), QList<int>{kTickFirstLine});

    // Watches typed before the run are evaluated at the first stop.
    Korl_WatchWindow* examine = w.debugger->Examine(1);
    examine->EndEdit(0, "cnt");
    examine->EndEdit(1, "bus");
    examine->EndEdit(2, "clk");
    examine->EndEdit(3, "nosuchname");
    ASSERT_EQ(examine->Tree()->topLevelItemCount(), 5);

    EXPECT_TRUE(frame.IsCommandEnabled(ID_DEBUG_START));
    EXPECT_FALSE(frame.IsCommandEnabled(ID_DEBUG_STEP_OVER));
    frame.OnCommand(ID_DEBUG_START);
    WAIT_TRUE(w.debugger->Session() != nullptr, kBuildMs);
    EXPECT_EQ(frame.LastBuild().errors, 0u);

    // The program asks before the simulation starts; typed input reaches it.
    WAIT_TRUE(ConsoleText(frame).contains("name? "), kGdbMs);
    frame.ConsoleWindow()->setFocus();
    QTest::keyClicks(frame.ConsoleWindow(), "Ada");
    QTest::keyClick(frame.ConsoleWindow(), Qt::Key_Return);
    WAIT_TRUE(ConsoleText(frame).contains("hello Ada"), kGdbMs);

    // The stop: line highlighted in the editor, stepping enabled.
    WAIT_EQ(w.debugger->StopLine(), kTickFirstLine - 1, kGdbMs);
    ASSERT_TRUE(ActiveView(frame));
    EXPECT_EQ(ActiveView(frame)->FullPath(), w.Main());
    EXPECT_EQ(ActiveView(frame)->HighlightedLine(), kTickFirstLine - 1);
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STEP_OVER), kGdbMs);

    // Examine 1: the member, the signal, the port, an unknown name.
    WAIT_EQ(Value(examine, 0), QString("0"), kGdbMs);
    WAIT_EQ(Value(examine, 2), QString("true"), kGdbMs);
    WAIT_EQ(Value(examine, 3), QString("No symbol in current context"), kGdbMs);
    EXPECT_EQ(Value(examine, 4), QString());
    WAIT_TRUE(!w.debugger->SimContextLabel()->text().isEmpty(), kGdbMs);
    EXPECT_TRUE(w.debugger->SimContextLabel()->text().contains("delta"))
        << w.debugger->SimContextLabel()->text().toStdString();

    // The Stack pane lists the method and, deeper, sc_main; a jump opens the file there.
    Korl_StackWindow* stack = w.debugger->Stack();
    WAIT_TRUE(stack->toPlainText().contains("main.cpp line=" + QString::number(kTickFirstLine)), kGdbMs);
    const QStringList frames = stack->toPlainText().split('\n');
    int mainFrame = -1;
    for (int i = 1; i < frames.size(); ++i)
        if (frames[i].contains("main.cpp line=")) mainFrame = i;
    ASSERT_GT(mainFrame, 0) << stack->toPlainText().toStdString();
    const int mainLine = frames[mainFrame].mid(frames[mainFrame].lastIndexOf('=') + 1).toInt();
    QTextCursor cursor(stack->document()->findBlockByNumber(mainFrame));
    stack->setTextCursor(cursor);
    stack->setFocus();
    QTest::keyClick(stack, Qt::Key_Return);
    ASSERT_TRUE(ActiveView(frame));
    EXPECT_EQ(ActiveView(frame)->CaretLineQuery(), mainLine);

    // Step Over moves the highlighted line; the member's new value shows.
    frame.OnCommand(ID_DEBUG_STEP_OVER);
    WAIT_EQ(w.debugger->StopLine(), kTickFirstLine, kGdbMs);
    EXPECT_EQ(ActiveView(frame)->HighlightedLine(), kTickFirstLine);
    WAIT_EQ(Value(examine, 0), QString("1"), kGdbMs);

    // Step Into twice() and out again.
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STEP_INTO), kGdbMs);
    frame.OnCommand(ID_DEBUG_STEP_OVER);
    WAIT_EQ(w.debugger->StopLine(), kTickFirstLine + 1, kGdbMs);
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STEP_INTO), kGdbMs);
    frame.OnCommand(ID_DEBUG_STEP_INTO);
    WAIT_EQ(w.debugger->StopLine(), kTwiceLine - 1, kGdbMs);
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STEP_OUT), kGdbMs);
    frame.OnCommand(ID_DEBUG_STEP_OUT);
    WAIT_EQ(w.debugger->StopLine(), kTickFirstLine + 1, kGdbMs);

    // Continue to the second edge: the signal now holds what the first wrote.
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_START), kGdbMs);
    frame.OnCommand(ID_DEBUG_START);
    WAIT_EQ(w.debugger->StopLine(), kTickFirstLine - 1, kGdbMs);
    WAIT_EQ(Value(examine, 1), QString("01zx10zx"), kGdbMs);

    // F9 at the stop removes the breakpoint in gdb too: Continue runs to the end.
    ActiveView(frame)->GoToLine(kTickFirstLine - 1);
    frame.OnCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_TRUE(frame.BreakpointLines(w.Main()).isEmpty());
    QSignalSpy ended(w.debugger, &Korl_DebugController::debuggingEnded);
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_START), kGdbMs);
    frame.OnCommand(ID_DEBUG_START);
    WAIT_EQ(ended.count(), 1, kGdbMs);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(ConsoleText(frame).contains("done at 35 ns"));
    EXPECT_TRUE(ConsoleText(frame).contains("Korl: Execution Done!"));
    EXPECT_EQ(w.debugger->Session(), nullptr);
    EXPECT_EQ(ActiveView(frame)->HighlightedLine(), -1);
    EXPECT_EQ(Value(examine, 0), QString());
    EXPECT_FALSE(frame.IsCommandEnabled(ID_DEBUG_STOP));
    EXPECT_TRUE(frame.IsCommandEnabled(ID_DEBUG_START));
}

TEST(DebugWindow, StopWhileRunningLeavesNoProcess) {
    Window w;
    Korl_MainFrame& frame = w.frame;
    frame.OnCommand(ID_DEBUG_START);
    WAIT_TRUE(w.debugger->Session() != nullptr, kBuildMs);
    // The program waits for its name: running, not at a stop.
    WAIT_TRUE(ConsoleText(frame).contains("name? "), kGdbMs);
    const pid_t gdb = w.debugger->Session()->GdbPid();
    const pid_t program = w.debugger->Session()->ProgramPid();
    EXPECT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STOP));
    EXPECT_FALSE(frame.IsCommandEnabled(ID_DEBUG_STEP_INTO));
    QSignalSpy ended(w.debugger, &Korl_DebugController::debuggingEnded);
    frame.OnCommand(ID_DEBUG_STOP);
    WAIT_EQ(ended.count(), 1, kGdbMs);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(ConsoleText(frame).contains("Debugging is canceled by user"));
    EXPECT_TRUE(ConsoleText(frame).contains("Korl: Execution Aborted!"));
    WAIT_TRUE(ProcessGone(gdb), 5000);
    WAIT_TRUE(ProcessGone(program), 5000);
    EXPECT_FALSE(frame.IsCommandEnabled(ID_DEBUG_STOP));
}

TEST(DebugWindow, ExamineRowsFollowTheirEdits) {
    Korl_WatchWindow w;
    w.show();
    w.EndEdit(0, "a");
    w.EndEdit(1, "b");
    w.EndEdit(2, "c");
    ASSERT_EQ(w.Tree()->topLevelItemCount(), 4);
    // Without a session every value is empty.
    EXPECT_EQ(Value(&w, 0), QString());
    // A cancelled edit of an inner row deletes it; of the last row, nothing.
    w.EndEdit(1, "");
    ASSERT_EQ(w.Tree()->topLevelItemCount(), 3);
    EXPECT_EQ(w.Tree()->topLevelItem(1)->text(0), QString("c"));
    w.EndEdit(2, "");
    EXPECT_EQ(w.Tree()->topLevelItemCount(), 3);
    // Delete removes the selected row; other keys do not edit the list.
    w.Tree()->setCurrentItem(w.Tree()->topLevelItem(0));
    QTest::keyClick(w.Tree(), Qt::Key_X);
    EXPECT_EQ(w.Tree()->topLevelItemCount(), 3);
    QTest::keyClick(w.Tree(), Qt::Key_Delete);
    ASSERT_EQ(w.Tree()->topLevelItemCount(), 2);
    EXPECT_EQ(w.Tree()->topLevelItem(0)->text(0), QString("c"));
    // Enter opens the label editor; what is typed there becomes the label.
    QTest::keyClick(w.Tree(), Qt::Key_Return);
    auto* editor = w.Tree()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText("d");
    QTest::keyClick(editor, Qt::Key_Return);
    WAIT_EQ(w.Tree()->topLevelItem(0)->text(0), QString("d"), 5000);
}

TEST(DebugWindow, StackLineOpensItsSource) {
    Quiet quiet;
    Korl_MainFrame frame{Korl_MainFrame::Options{false, false}};
    Korl_DebugController* debugger = InstallDebugger(frame, &frame);
    const QString k1 = ProjectFile();
    frame.LoadProject(k1);
    Korl_StackWindow* stack = debugger->Stack();
    stack->SetStackText("0: " + QFileInfo(k1).absolutePath().toStdString() +
                        "/main.cpp line=5\r\n1: libsystemc-2.3.4.so\r\n");
    // A library frame has no line: nothing opens.
    stack->setTextCursor(QTextCursor(stack->document()->findBlockByNumber(1)));
    QTest::keyClick(stack, Qt::Key_Return);
    EXPECT_EQ(frame.Editors()->ActiveView(), nullptr);
    // Typing does not change the listing.
    QTest::keyClicks(stack, "abc");
    EXPECT_FALSE(stack->toPlainText().contains("abc"));
    stack->setTextCursor(QTextCursor(stack->document()->findBlockByNumber(0)));
    QTest::keyClick(stack, Qt::Key_Return);
    ASSERT_TRUE(frame.Editors()->ActiveView());
    EXPECT_EQ(frame.Editors()->ActiveView()->CaretLineQuery(), 5);
}

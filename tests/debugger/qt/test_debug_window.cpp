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
#include <QHash>
#include <QMenuBar>
#include <QMenu>
#include <QAction>
#include <QSettings>
#include <QToolTip>
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

int sc_main(int argc, char* argv[]) {
    std::string name;
    cout << "name? " << flush;
    std::getline(std::cin, name);
    cout << "hello " << name << " args " << argc - 1;
    for (int i = 1; i < argc; ++i) cout << " [" << argv[i] << "]";
    cout << endl;
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

// The open label editor (closed ones may linger until deleted).
QLineEdit* Editor(QTreeWidget* tree) {
    for (QLineEdit* e : tree->findChildren<QLineEdit*>())
        if (e->isVisible()) return e;
    return nullptr;
}

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

    explicit Window(const QString& k1 = ProjectFile()) {
        frame.resize(1400, 900);
        frame.show();
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

    // The Stack pane lists the method by name and, deeper, sc_main; a jump opens the file there.
    Korl_StackWindow* stack = w.debugger->Stack();
    WAIT_TRUE(stack->toPlainText().contains("main.cpp:" + QString::number(kTickFirstLine)), kGdbMs);
    const QStringList frames = stack->toPlainText().split('\n');
    EXPECT_TRUE(frames[0].startsWith("0  ")) << frames[0].toStdString();
    EXPECT_FALSE(frames.contains(QString())) << stack->toPlainText().toStdString();
    EXPECT_TRUE(stack->toPlainText().contains("  in libsystemc")) << stack->toPlainText().toStdString();
    int mainFrame = -1;
    for (int i = 1; i < frames.size(); ++i)
        if (frames[i].contains("  sc_main  main.cpp:")) mainFrame = i;
    ASSERT_GT(mainFrame, 0) << stack->toPlainText().toStdString();
    const int mainLine = frames[mainFrame].mid(frames[mainFrame].lastIndexOf(':') + 1).toInt();
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
    // Values that changed since the last stop are red, the others are not.
    EXPECT_TRUE(examine->Changed(examine->Tree()->topLevelItem(0)));
    WAIT_EQ(Value(examine, 2), QString("true"), kGdbMs);
    EXPECT_FALSE(examine->Changed(examine->Tree()->topLevelItem(2)));

    // Resting the mouse on a name shows its value.
    {
        Korl_EditControl* control = ActiveView(frame)->Control();
        const int at = int(control->positionFromLineIndex(kTickFirstLine - 1, 5));
        Q_EMIT control->SCN_DWELLSTART(at, 10, 10);
        WAIT_EQ(QToolTip::text(), QString("cnt = 1"), kGdbMs);
        Q_EMIT control->SCN_DWELLEND(at, 10, 10);
    }

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

TEST(DebugWindow, RunWithoutTheDebuggerPassesTheProjectsArguments) {
    Window w;
    Korl_MainFrame& frame = w.frame;
    frame.Project().SetProgramArguments("one 'two three'");
    ASSERT_TRUE(frame.IsCommandEnabled(ID_DEBUG_RUN));
    // Before a run the title's dump goes; the one the VCD option names stays.
    const std::string titleDump = w.dir.toStdString() + "/dbgproj.vcd";
    const std::string optionDump = w.dir.toStdString() + "/dbg.vcd";
    std::ofstream(titleDump) << "old";
    std::ofstream(optionDump) << "kept";
    QSignalSpy started(w.debugger, &Korl_DebugController::runStarted);
    QSignalSpy ended(w.debugger, &Korl_DebugController::runEnded);
    frame.OnCommand(ID_DEBUG_RUN);
    WAIT_EQ(started.count(), 1, kBuildMs);
    EXPECT_FALSE(std::filesystem::exists(titleDump));
    EXPECT_TRUE(std::filesystem::exists(optionDump));
    std::filesystem::remove(optionDump);
    EXPECT_EQ(w.debugger->Session(), nullptr); // no gdb
    EXPECT_FALSE(frame.IsCommandEnabled(ID_DEBUG_START));
    EXPECT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STOP));
    // The console has the keys, so an answer to the first prompt reaches the program.
    EXPECT_TRUE(frame.ConsoleWindow()->hasFocus());
    WAIT_TRUE(ConsoleText(frame).contains("name? "), kGdbMs);
    QTest::keyClicks(frame.ConsoleWindow(), "Bo");
    QTest::keyClick(frame.ConsoleWindow(), Qt::Key_Return);
    WAIT_EQ(ended.count(), 1, kGdbMs);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(ConsoleText(frame).contains("hello Bo args 2 [one] [two three]"))
        << ConsoleText(frame).toStdString();
    EXPECT_TRUE(ConsoleText(frame).contains("done at 35 ns"));
    EXPECT_TRUE(ConsoleText(frame).contains("Korl: Execution Done!"));
    EXPECT_TRUE(frame.IsCommandEnabled(ID_DEBUG_RUN));
    frame.Project().SetProgramArguments("");
}

TEST(DebugWindow, EveryMenuItemShowsTheKeyThatTriggersItAndNoKeyIsShared) {
    Quiet quiet;
    Korl_MainFrame frame{Korl_MainFrame::Options{false, false}};
    auto check = [&](const char* mode) {
        QHash<QString, QString> keys; // key -> the item that has it
        std::function<void(QMenu*)> walk = [&](QMenu* m) {
            for (QAction* a : m->actions()) {
                if (a->menu()) {
                    walk(a->menu());
                    continue;
                }
                const QString text = a->text();
                const int tab = text.indexOf('\t');
                const QString shown = tab < 0 ? QString() : text.mid(tab + 1).trimmed();
                // the hint names the frame's first key (Ctrl+Break is what keyboards call Ctrl+Pause);
                // editor commands without a frame key (Del) are the editor's own keys
                QString real = a->shortcut().toString(QKeySequence::PortableText);
                if (real == "Ctrl+Pause") real = "Ctrl+Break";
                if (!shown.isEmpty() && !a->shortcuts().isEmpty())
                    EXPECT_EQ(shown, real) << mode << ": " << text.toStdString();
                for (const QKeySequence& k : a->shortcuts()) {
                    const QString key = k.toString(QKeySequence::PortableText);
                    EXPECT_FALSE(keys.contains(key))
                        << mode << ": " << key.toStdString() << " at " << keys.value(key).toStdString()
                        << " and " << text.toStdString();
                    keys.insert(key, text);
                }
            }
        };
        for (QAction* menu : frame.menuBar()->actions())
            if (menu->menu()) walk(menu->menu());
    };
    check("no document");
    frame.OnCommand(ID_FILE_NEW);
    check("editor");
}

TEST(DebugWindow, ExamineRowsFollowTheirEdits) {
    QStringList messages;
    static QStringList* sink = nullptr;
    sink = &messages;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (!text.contains("propagateSizeHints")) sink->append(text); // the offscreen platform's own
        });
    {
        Korl_WatchWindow w;
        w.show();
        w.EndEdit(0, "a");
        w.EndEdit(1, "b");
        w.EndEdit(2, "c");
        ASSERT_EQ(w.Tree()->topLevelItemCount(), 4);
        EXPECT_EQ(w.Labels(), (QStringList{"a", "b", "c"}));
        // Without a session every value is empty.
        EXPECT_EQ(Value(&w, 0), QString());
        // A rename to nothing deletes an inner row; on the last row, nothing happens.
        w.EndEdit(1, "");
        ASSERT_EQ(w.Tree()->topLevelItemCount(), 3);
        EXPECT_EQ(w.Tree()->topLevelItem(1)->text(0), QString("c"));
        w.EndEdit(2, "");
        EXPECT_EQ(w.Tree()->topLevelItemCount(), 3);
        // Delete removes the selected row, never the empty last one.
        w.Tree()->setFocus();
        w.Tree()->setCurrentItem(w.Tree()->topLevelItem(0));
        QTest::keyClick(w.Tree(), Qt::Key_Delete);
        ASSERT_EQ(w.Tree()->topLevelItemCount(), 2);
        EXPECT_EQ(w.Tree()->topLevelItem(0)->text(0), QString("c"));
        w.Tree()->setCurrentItem(w.Tree()->topLevelItem(1));
        QTest::keyClick(w.Tree(), Qt::Key_Delete);
        EXPECT_EQ(w.Tree()->topLevelItemCount(), 2);
        // F2 renames: the editor holds the name, what is typed replaces it.
        w.Tree()->setCurrentItem(w.Tree()->topLevelItem(0));
        QTest::keyClick(w.Tree(), Qt::Key_F2);
        auto* editor = Editor(w.Tree());
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->text(), QString("c"));
        editor->selectAll();
        QTest::keyClicks(editor, "d");
        QTest::keyClick(editor, Qt::Key_Return);
        WAIT_EQ(w.Tree()->topLevelItem(0)->text(0), QString("d"), 5000);
        WAIT_EQ(w.List().Rows()[0].label, std::string("d"), 5000);
        // Typing on the empty last row adds a watch.
        w.Tree()->setCurrentItem(w.Tree()->topLevelItem(1));
        QTest::keyClicks(w.Tree(), "e");
        editor = Editor(w.Tree());
        ASSERT_TRUE(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        WAIT_EQ(w.Tree()->topLevelItemCount(), 3, 5000);
        EXPECT_EQ(w.Labels(), (QStringList{"d", "e"}));
        // Double-click on a row renames it too.
        QTreeWidgetItem* first = w.Tree()->topLevelItem(0);
        Q_EMIT w.Tree()->itemDoubleClicked(first, 1);
        WAIT_TRUE(Editor(w.Tree()) != nullptr, 5000);
        EXPECT_EQ(Editor(w.Tree())->text(), QString("d"));
        QTest::keyClick(Editor(w.Tree()), Qt::Key_Escape);
        EXPECT_EQ(w.Labels(), (QStringList{"d", "e"}));
        w.SetLabels({"x"});
        EXPECT_EQ(w.Tree()->topLevelItemCount(), 2);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

TEST(DebugWindow, WatchListsBelongToTheirProject) {
    Quiet quiet;
    const std::string base =
        std::string(KORL_BINARY_DIR) + "/tests/debugger/qt/watchproj_" + std::to_string(::getpid());
    std::filesystem::create_directories(base);
    for (const char* name : {"/a.k1", "/b.k1"}) std::ofstream(base + name) << kProject;
    {
        Korl_MainFrame frame{Korl_MainFrame::Options{false, false}};
        Korl_DebugController* debugger = InstallDebugger(frame, &frame);
        frame.LoadProject(QString::fromStdString(base + "/a.k1"));
        debugger->Examine(1)->EndEdit(0, "cnt");
        debugger->Examine(2)->EndEdit(0, "bus");
        debugger->Stack()->SetFrames({korl::StackFrame{0, "sc_main", base + "/main.cpp", "main.cpp", 3}},
                                     base);
        frame.LoadProject(QString::fromStdString(base + "/b.k1"));
        EXPECT_TRUE(debugger->Stack()->Frames().empty());
        EXPECT_TRUE(debugger->Stack()->toPlainText().isEmpty());
        EXPECT_TRUE(debugger->Examine(1)->Labels().isEmpty());
        EXPECT_TRUE(debugger->Examine(2)->Labels().isEmpty());
        frame.LoadProject(QString::fromStdString(base + "/a.k1"));
        EXPECT_EQ(debugger->Examine(1)->Labels(), QStringList{"cnt"});
        EXPECT_EQ(debugger->Examine(2)->Labels(), QStringList{"bus"});
        debugger->Examine(1)->DeleteSelectedRow();
    }
    QSettings().remove("Watches");
    std::filesystem::remove_all(base);
}

TEST(DebugWindow, StackLineOpensItsSource) {
    Quiet quiet;
    Korl_MainFrame frame{Korl_MainFrame::Options{false, false}};
    Korl_DebugController* debugger = InstallDebugger(frame, &frame);
    const QString k1 = ProjectFile();
    frame.LoadProject(k1);
    Korl_StackWindow* stack = debugger->Stack();
    const std::string dir = QFileInfo(k1).absolutePath().toStdString();
    korl::StackFrame top;
    top.level = 0;
    top.func = "sc_main(int, char**)";
    top.file = dir + "/main.cpp";
    top.line = 5;
    korl::StackFrame lib;
    lib.level = 1;
    lib.func = "sc_core::sc_elab_and_sim";
    lib.from = "libsystemc-2.3.4.so";
    stack->SetFrames({top, lib}, dir);
    EXPECT_EQ(stack->toPlainText(),
              QString("0  sc_main  main.cpp:5\n1  sc_core::sc_elab_and_sim  in libsystemc-2.3.4.so"));
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

// A program whose own main is the outermost frame: Step Out there is refused.
TEST(DebugWindow, PanesWaitForTheRefusedStepOutBoxToBeAnswered) {
    const std::string dir = std::string(KORL_BINARY_DIR) + "/tests/debugger/qt/outerproj";
    std::filesystem::create_directories(dir);
    WriteIfChanged(dir + "/outer.cpp",
                   "#include <cstdio>\n"
                   "int sc_main(int, char*[]) { return 0; }\n"
                   "int main() {\n"
                   "    std::puts(\"outer\");\n"
                   "    return 0;\n"
                   "}\n");
    WriteIfChanged(dir + "/outerproj.k1",
                   "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=1\nNoOfHFiles=0\n"
                   "[Cpps]\nItem0=outer.cpp\n[Hs]\n[Extra]\nVCDFilename=\n");
    Window w(QString::fromStdString(dir + "/outerproj.k1"));
    Korl_MainFrame& frame = w.frame;
    const QString source = QString::fromStdString(dir + "/outer.cpp");
    ASSERT_TRUE(frame.OpenDocument(source, "outer.cpp", 3));
    ActiveView(frame)->GoToLine(3);
    frame.OnCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    QSignalSpy shown(w.debugger, &Korl_DebugController::stopShown);
    frame.OnCommand(ID_DEBUG_START);
    WAIT_TRUE(w.debugger->Session() != nullptr, kBuildMs);
    WAIT_EQ(w.debugger->StopLine(), 3, kGdbMs);
    WAIT_TRUE(shown.count() > 0 && frame.IsCommandEnabled(ID_DEBUG_STEP_OUT), kGdbMs);

    // A real box runs its own event loop while the user reads it: the
    // session's refresh must not run inside it.
    int boxes = 0;
    int refreshesBefore = -1;
    int refreshesDuringBox = -1;
    struct PlainHookAtEnd { // the one below refers to this test's locals
        ~PlainHookAtEnd() {
            SetMessageBoxHook([](const MessageRequest&) { return QMessageBox::Ok; });
        }
    } plainHookAtEnd;
    SetMessageBoxHook([&](const MessageRequest& r) {
        if (!r.text.contains("outermost frame")) return QMessageBox::Ok;
        ++boxes;
        refreshesBefore = int(shown.count());
        QTest::qWait(1500);
        refreshesDuringBox = int(shown.count());
        return QMessageBox::Ok;
    });
    frame.OnCommand(ID_DEBUG_STEP_OUT);
    WAIT_EQ(boxes, 1, kGdbMs);
    EXPECT_EQ(refreshesDuringBox, refreshesBefore);
    // Once answered, the panes catch up and stepping goes on from the same line.
    WAIT_TRUE(shown.count() > refreshesBefore, kGdbMs);
    EXPECT_EQ(w.debugger->StopLine(), 3);
    WAIT_TRUE(frame.IsCommandEnabled(ID_DEBUG_STEP_OVER), kGdbMs);
    QSignalSpy ended(w.debugger, &Korl_DebugController::debuggingEnded);
    frame.OnCommand(ID_DEBUG_START);
    WAIT_EQ(ended.count(), 1, kGdbMs);
    EXPECT_TRUE(ConsoleText(frame).contains("outer"));
}

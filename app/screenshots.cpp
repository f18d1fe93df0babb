// korl --screenshot SCENE: the main window in a typical moment, drawn into a
// PNG without a display (the README's pictures come from here).
#include "app/screenshots.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDockWidget>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyleFactory>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>
#include <functional>

#include "app/application.h"
#include "base/command_ids.h"
#include "debugger/qt/debug_controller.h"
#include "frame/main_frame.h"
#include "project/qt/dialogs.h"

namespace korl {
namespace {

struct Request {
    QString scene, file, output;
    QSize size{1440, 900};
    QString breakAt; // FILE:LINE
    QStringList watches;
};

void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        Pause(50);
    }
    return true;
}

int Fail(const char* what, int status = 1) {
    std::fprintf(stderr, "korl --screenshot: %s\n", what);
    return status;
}

// Stops at the breakpoint with the watches filled.
bool DebugScene(Korl_MainFrame& frame, const Request& r) {
    auto* debugger = frame.findChild<Korl_DebugController*>();
    if (!debugger || r.breakAt.isEmpty()) return false;
    const QString file =
        QFileInfo(QString::fromStdString(frame.Project().Directory()) + r.breakAt.section(':', 0, 0))
            .absoluteFilePath();
    const int line = r.breakAt.section(':', 1).toInt();
    frame.OpenDocument(file, QFileInfo(file).fileName());
    frame.AddBreakpoint(file, line);
    if (Korl_EditorView* view = frame.Editors()->ActiveView()) view->SetBreakpointMark(line - 1, true);
    debugger->Examine(1)->SetLabels(r.watches);
    bool stopped = false;
    QObject::connect(debugger, &Korl_DebugController::stopShown, &frame, [&stopped] { stopped = true; });
    frame.OnCommand(ID_DEBUG_START);
    if (!WaitFor([&] { return stopped; }, 240000)) return false;
    frame.ShowPane(Korl_Pane::Examine1);
    Pause(500); // the watch values arrive after the stop
    return true;
}

bool DesignScene(Korl_MainFrame& frame) {
    frame.OnCommand(ID_ELABORATE);
    auto* tree = qobject_cast<QTreeWidget*>(frame.PaneDock(Korl_Pane::DesignBrowser)->widget());
    const bool filled = WaitFor(
        [&] {
            tree = qobject_cast<QTreeWidget*>(frame.PaneDock(Korl_Pane::DesignBrowser)->widget());
            return tree && tree->topLevelItemCount() > 0;
        },
        240000);
    if (!filled) return false;
    frame.ShowPane(Korl_Pane::DesignBrowser);
    tree->expandAll();
    // The module the tree starts from, beside it.
    if (!frame.Project().Sources().empty()) {
        const std::string main = frame.Project().Sources().front().FullPath();
        frame.OpenDocument(QString::fromStdString(main), QFileInfo(QString::fromStdString(main)).fileName());
    }
    return true;
}

bool WaveScene(Korl_MainFrame& frame, const Request& r) {
    // A project runs (Debug > Run) and its dump opens at the end; a dump opens as it is.
    if (frame.ProjectOpen())
        frame.OnCommand(ID_DEBUG_RUN);
    else
        frame.OpenPath(r.file);
    if (!WaitFor([&] { return !frame.MdiArea()->subWindowList().isEmpty(); }, 240000)) return false;
    QMdiSubWindow* wave = frame.MdiArea()->subWindowList().first();
    wave->showMaximized();
    frame.MdiArea()->setActiveSubWindow(wave);
    Pause(200);
    frame.OnCommand(ID_WAVE_ADD_CURSOR);
    frame.ShowPane(Korl_Pane::Console);
    Pause(300);
    return true;
}

} // namespace

int ScreenshotMain(int argc, char** argv) {
    int at = 1;
    while (at < argc && std::strcmp(argv[at], "--screenshot") != 0) ++at;
    if (at >= argc) return -1;
    Request r;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto next = [&]() { return i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString(); };
        if (a == "--screenshot") {
            r.scene = next();
        } else if (a == "-o") {
            r.output = next();
        } else if (a == "--size") {
            const QStringList wh = next().split('x');
            if (wh.size() == 2) r.size = QSize(wh[0].toInt(), wh[1].toInt());
        } else if (a == "--break") {
            r.breakAt = next();
        } else if (a == "--watch") {
            r.watches << next();
        } else {
            r.file = a;
        }
    }
    if (r.output.isEmpty() || r.file.isEmpty() || !QStringList({"debug", "design", "wave"}).contains(r.scene))
        return Fail(
            "usage: korl --screenshot debug|design|wave FILE -o PICTURE.png [--size WxH] "
            "[--break FILE:LINE] [--watch EXPR]...");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetApplicationIdentity();
    if (QStyle* style = QStyleFactory::create("Fusion")) app.setStyle(style);
    // A picture never waits for an answer.
    SetMessageBoxHook([](const MessageRequest& m) {
        std::fprintf(stderr, "korl --screenshot: %s\n", qPrintable(m.text));
        return QMessageBox::No;
    });

    Korl_MainFrame frame(Korl_MainFrame::Options{false, false});
    InstallParts(frame);
    frame.resize(r.size);
    frame.show();
    if (r.scene != "wave" || r.file.endsWith(".k1")) {
        if (!frame.LoadProject(QFileInfo(r.file).absoluteFilePath())) return Fail("cannot open the project");
    }
    bool ok = false;
    if (r.scene == "debug") ok = DebugScene(frame, r);
    if (r.scene == "design") ok = DesignScene(frame);
    if (r.scene == "wave") ok = WaveScene(frame, r);
    if (!ok) return Fail("the scene did not come about in time");
    frame.resize(r.size);
    Pause(300);
    const bool saved = frame.grab().save(r.output, "PNG");
    if (r.scene == "debug") frame.OnCommand(ID_DEBUG_STOP);
    Pause(200);
    return saved ? 0 : Fail("cannot write the picture");
}

} // namespace korl

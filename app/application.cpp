#include "app/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>

#include "debugger/qt/debug_controller.h"
#include "editor/language.h"
#include "frame/main_frame.h"
#include "scparse/qt/browsers.h"
#include "waview/qt/wave_commands.h"

namespace korl {

void SetApplicationIdentity() {
    QCoreApplication::setOrganizationName("KORL");
    QCoreApplication::setApplicationName("Korl");
}

void InstallParts(Korl_MainFrame& frame) {
    InstallWaveWindows(frame);
    InstallDebugger(frame, &frame);
    InstallBrowsers(frame, &frame);
}

int RunKorl(int argc, char** argv) {
    QApplication app(argc, argv);
    SetApplicationIdentity();
    if (QStyle* style = QStyleFactory::create("Fusion")) app.setStyle(style);

    // Without its two languages the editor cannot colour anything: give up early.
    if (Korl_SystemCLanguage().keywords.isEmpty() || Korl_CompileOutLanguage().keywords.isEmpty()) {
        QMessageBox::critical(nullptr, "Korl", "Korl: cannot register the editor languages.");
        return 1;
    }

    Korl_MainFrame frame;
    InstallParts(frame);
    frame.show();
    const QStringList args = app.arguments().mid(1);
    // Files open once the window is up, so their prompts have a parent to sit on.
    QTimer::singleShot(0, &frame, [&frame, args] {
        for (const QString& a : args) frame.OpenPath(a);
    });
    return app.exec();
}

} // namespace korl

#include "waview/qt/wave_commands.h"

#include <QApplication>
#include <QEvent>
#include <QMdiArea>

#include "base/command_ids.h"
#include "frame/command_registry.h"
#include "frame/services.h"
#include "waview/qt/childframe.h"
#include "waview/qt/waveopen.h"

namespace {

// Every id a wave window may serve.
std::vector<int> WaveWindowIds() {
    using namespace korl;
    std::vector<int> ids = {ID_FILE_SAVE,
                            ID_FILE_SAVE_AS,
                            ID_FILE_PAGE_SETUP,
                            ID_FILE_PRINT_SETUP,
                            ID_FILE_PRINT,
                            ID_WAVE_ZOOM_IN,
                            ID_WAVE_ZOOM_OUT,
                            ID_WAVE_ZOOM_FULL,
                            ID_WAVE_ZOOM_AREA,
                            ID_WAVE_ADD_CURSOR,
                            ID_WAVE_REMOVE_CURSOR,
                            ID_WAVE_PREV_TRANSITION,
                            ID_WAVE_NEXT_TRANSITION,
                            ID_WAVE_SIGNALS_DIALOG,
                            ID_WAVE_TOGGLE_DIGITAL};
    for (int n = 0; n < 4; ++n) ids.push_back(ID_WAVE_RADIX_BINARY + n);
    for (int n = 0; n < 10; ++n) {
        ids.push_back(ID_WAVE_SET_BOOKMARK0 + n);
        ids.push_back(ID_WAVE_GOTO_BOOKMARK0 + n);
    }
    return ids;
}

// Clicks and keys inside a wave window change what its commands can do
// (cursors, zoom mode): the menus and toolbar follow on those events.
class WaveInputWatcher : public QObject {
public:
    WaveInputWatcher(Korl_CommandRegistry& commands, QObject* parent)
        : QObject(parent), commands_(commands) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const auto type = e->type();
        if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease) {
            auto* widget = qobject_cast<QWidget*>(watched);
            QMdiSubWindow* active = commands_.ActiveChild();
            if (widget && active && qobject_cast<Waview_ChildFrame*>(active) &&
                (widget == active || active->isAncestorOf(widget)))
                commands_.NotifyStatesChanged();
        }
        return false;
    }

private:
    Korl_CommandRegistry& commands_;
};

} // namespace

void RegisterWaveCommands(Korl_CommandRegistry& commands) {
    commands.SetChildClaim(Korl_CommandContext::Wave,
                           [](QMdiSubWindow* w) { return qobject_cast<Waview_ChildFrame*>(w) != nullptr; });
    for (int id : WaveWindowIds()) {
        commands.Register(
            Korl_CommandContext::Wave, id,
            [&commands, id] {
                if (auto* w = qobject_cast<Waview_ChildFrame*>(commands.ActiveChild())) w->HandleCommand(id);
            },
            [&commands, id] {
                Korl_CommandState s;
                if (auto* w = qobject_cast<Waview_ChildFrame*>(commands.ActiveChild()))
                    s.enabled = w->CommandState(id, &s.checked);
                return s;
            });
    }
}

void InstallWaveWindows(Korl_FrameServices& frame) {
    Korl_CommandRegistry& commands = frame.Commands();
    RegisterWaveCommands(commands);
    qApp->installEventFilter(new WaveInputWatcher(commands, &commands));
    frame.SetVcdOpener(
        [&frame](const QString& path) { OpenVcdFile(frame.MdiArea(), path, frame.PromptParent()); });
}

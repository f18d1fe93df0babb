// The command registry and the menus it drives: contexts answer in order,
// each id has one handler per context, and menu states follow events at
// once (no timer in between).
#include <gtest/gtest.h>

#include <QAction>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/application.h"
#include "base/command_ids.h"
#include "frame/command_registry.h"
#include "frame/command_table.h"
#include "frame/main_frame.h"
#include "tests/app/helpers.h"

using namespace korl;

namespace {

class OtherChild : public QMdiSubWindow {
    Q_OBJECT
};

} // namespace

TEST(CommandRegistry, ContextsAnswerInOrder) {
    Korl_CommandRegistry r;
    QList<QString> calls;
    r.Register(Korl_CommandContext::Frame, 1, [&] { calls << "frame"; });
    r.Register(Korl_CommandContext::Wave, 1, [&] { calls << "wave"; });
    r.Register(Korl_CommandContext::Editor, 2, [&] { calls << "editor"; });

    // No child: the frame serves 1, nobody serves 2.
    EXPECT_TRUE(r.Dispatch(1));
    EXPECT_FALSE(r.Dispatch(2));
    EXPECT_FALSE(r.State(2).enabled);

    // A child of the wave context: its handler goes first.
    OtherChild child;
    r.SetChildClaim(Korl_CommandContext::Wave,
                    [](QMdiSubWindow* w) { return qobject_cast<OtherChild*>(w) != nullptr; });
    r.SetActiveChild(&child);
    EXPECT_EQ(r.ActiveChildContext(), Korl_CommandContext::Wave);
    EXPECT_TRUE(r.Dispatch(1));
    EXPECT_FALSE(r.Dispatch(2)); // the editor's command does not reach another kind of child

    // The debugger takes over whatever child is active.
    bool enabled = false;
    r.Register(
        Korl_CommandContext::Debugger, 1, [&] { calls << "debugger"; },
        [&] {
            return Korl_CommandState{enabled, false};
        });
    EXPECT_FALSE(r.Dispatch(1)); // greyed: nobody runs
    enabled = true;
    EXPECT_TRUE(r.Dispatch(1));
    r.Unregister(Korl_CommandContext::Debugger, 1);
    EXPECT_TRUE(r.Dispatch(1));
    EXPECT_EQ(calls, (QList<QString>{"frame", "wave", "debugger", "wave"}));
}

TEST(CommandRegistry, ReRegisteringReplacesAndHandlersMayReRegister) {
    Korl_CommandRegistry r;
    int first = 0, second = 0;
    r.Register(Korl_CommandContext::Frame, 7, [&] { ++first; });
    r.Register(Korl_CommandContext::Frame, 7, [&] {
        ++second;
        r.Register(Korl_CommandContext::Frame, 7, [&] { ++first; });
    });
    EXPECT_EQ(r.HandlerCount(Korl_CommandContext::Frame, 7), 1);
    EXPECT_TRUE(r.Dispatch(7));
    EXPECT_TRUE(r.Dispatch(7));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

// Every command of the menus, in every context of the installed IDE, has
// exactly one handler where the context claims it, and some context serves it.
TEST(CommandRegistry, EveryCommandHasOneHandlerPerClaimingContext) {
    Korl_MainFrame f(korltest::NoState());
    InstallParts(f);
    Korl_CommandRegistry& r = f.Commands();
    const Korl_CommandContext contexts[] = {Korl_CommandContext::Debugger, Korl_CommandContext::Browsers,
                                            Korl_CommandContext::Editor, Korl_CommandContext::Wave,
                                            Korl_CommandContext::Frame};
    for (const CommandInfo& c : CommandTable()) {
        int servedBy = 0;
        for (Korl_CommandContext ctx : contexts) {
            if (!r.Serves(ctx, c.id)) continue;
            ++servedBy;
            EXPECT_EQ(r.HandlerCount(ctx, c.id), 1) << c.id << " in context " << int(ctx);
        }
        // Print Setup is the editor's alone; everything else has a server.
        EXPECT_GE(servedBy, 1) << "nobody serves command " << c.id << " (" << c.text << ")";
    }
    // The debugger takes Start Debugging over from the frame.
    EXPECT_TRUE(r.Serves(Korl_CommandContext::Debugger, ID_DEBUG_START));
    EXPECT_TRUE(r.Serves(Korl_CommandContext::Frame, ID_DEBUG_START));
}

// Menu states change on the events themselves: checked right after each
// event, with no event loop turn and no timer.
TEST(CommandRegistry, MenuStatesFollowEventsWithoutTimers) {
    korltest::Prompts prompts;
    QTemporaryDir dir;
    const QString k1 = korltest::CopyExample(dir);
    Korl_MainFrame f(korltest::NoState());
    InstallParts(f);
    f.show();
    QAction* build = f.Action(ID_BUILD_BUILD);
    QAction* stop = f.Action(ID_BUILD_STOP);
    QAction* stack = f.Action(ID_VIEW_STACK);
    EXPECT_FALSE(build->isEnabled());

    f.LoadProject(k1);
    EXPECT_TRUE(build->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    // Pane visibility: the View check mark follows the dock.
    f.PaneDock(Korl_Pane::Stack)->hide();
    EXPECT_FALSE(stack->isChecked());
    f.PaneDock(Korl_Pane::Stack)->show();
    EXPECT_TRUE(stack->isChecked());

    // The active child: edit commands light up with an editor, go with it.
    korltest::WriteFile(dir.filePath("n.txt"), "x\n");
    EXPECT_FALSE(f.Action(ID_EDIT_SELECT_ALL)->isEnabled());
    Korl_EditorChildFrame* ed = f.OpenDocument(dir.filePath("n.txt"), "n.txt");
    ASSERT_NE(ed, nullptr);
    f.MdiArea()->setActiveSubWindow(ed);
    EXPECT_TRUE(f.Action(ID_EDIT_SELECT_ALL)->isEnabled());
    EXPECT_TRUE(f.Action(ID_FILE_CLOSE)->isEnabled());

    // A build: Stop on, builds off while it runs.
    f.OnCommand(ID_BUILD_BUILD);
    if (f.BuildRunning()) {
        EXPECT_TRUE(stop->isEnabled());
        EXPECT_FALSE(build->isEnabled());
    }
    f.OnCommand(ID_BUILD_STOP);
    KORL_WAIT_EQ(f.BuildRunning(), false, 30000);
    EXPECT_TRUE(build->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    // Closing the project greys the project commands at once.
    prompts.answer = QMessageBox::No;
    f.OnCommand(ID_PROJECT_CLOSE);
    EXPECT_FALSE(build->isEnabled());
    EXPECT_FALSE(f.Action(ID_PROJECT_OPTIONS)->isEnabled());
}

#include "test_command_registry.moc"

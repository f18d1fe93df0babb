#pragma once
// The command registry: every part of the window registers the commands it
// serves (handler and state callback) under its context. Menus, toolbar and
// keys go through Dispatch and State; nothing calls a part by method or class
// name.
//
// Contexts answer in this order: the debugger and the browsers (they take
// over frame commands such as Start Debugging), then the context of the
// active MDI child (editor or wave window), then the frame itself.
#include <QObject>
#include <QPointer>
#include <QMdiSubWindow>

#include <functional>
#include <map>
#include <vector>

enum class Korl_CommandContext { Debugger, Browsers, Editor, Wave, Frame };

struct Korl_CommandState {
    bool enabled = false;
    bool checked = false;
};

class Korl_CommandRegistry : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using StateFn = std::function<Korl_CommandState()>;
    using ClaimFn = std::function<bool(QMdiSubWindow*)>;

    explicit Korl_CommandRegistry(QObject* parent = nullptr);

    // A context serves `id`. A second registration of the same id in the same
    // context replaces the first (a context has one handler per id). A null
    // state callback means "always enabled".
    void Register(Korl_CommandContext context, int id, Handler handler, StateFn state = {});
    void Unregister(Korl_CommandContext context, int id);
    // Child contexts (editor, wave) say which MDI children are theirs.
    void SetChildClaim(Korl_CommandContext context, ClaimFn claims);
    void SetActiveChild(QMdiSubWindow* child);
    // The child a child context's handlers act on.
    QMdiSubWindow* ActiveChild() const { return activeChild_; }
    // The child context of the active child, or Frame when it has none.
    Korl_CommandContext ActiveChildContext() const;
    // The child context that claims `child`, or Frame when none does.
    Korl_CommandContext ContextOf(QMdiSubWindow* child) const;

    // Runs the command when it is enabled; false when nobody serves it now.
    bool Dispatch(int id);
    Korl_CommandState State(int id) const;
    // Whether any context serves `id` (active or not) and how many handlers
    // a context holds for it (a test checks that this is never above one).
    bool Serves(Korl_CommandContext context, int id) const;
    int HandlerCount(Korl_CommandContext context, int id) const;
    std::vector<int> Ids() const;

    // Called on the events that change command states (active child, build,
    // debugger, document changes); menus and toolbar follow.
    void NotifyStatesChanged();

Q_SIGNALS:
    void statesChanged();

private:
    struct Entry {
        Handler handler;
        StateFn state;
    };
    const Entry* Current(int id) const;

    std::map<int, std::map<Korl_CommandContext, Entry>> entries_;
    std::map<Korl_CommandContext, ClaimFn> claims_;
    QPointer<QMdiSubWindow> activeChild_;
};

#include "frame/command_registry.h"

#include <QMdiSubWindow>

Korl_CommandRegistry::Korl_CommandRegistry(QObject* parent) : QObject(parent) {}

void Korl_CommandRegistry::Register(Korl_CommandContext context, int id, Handler handler, StateFn state) {
    entries_[id][context] = Entry{std::move(handler), std::move(state)};
}

void Korl_CommandRegistry::Unregister(Korl_CommandContext context, int id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return;
    it->second.erase(context);
    if (it->second.empty()) entries_.erase(it);
}

void Korl_CommandRegistry::SetChildClaim(Korl_CommandContext context, ClaimFn claims) {
    claims_[context] = std::move(claims);
}

void Korl_CommandRegistry::SetActiveChild(QMdiSubWindow* child) { activeChild_ = child; }

Korl_CommandContext Korl_CommandRegistry::ContextOf(QMdiSubWindow* child) const {
    if (!child) return Korl_CommandContext::Frame;
    for (const auto& [context, claims] : claims_)
        if (claims && claims(child)) return context;
    return Korl_CommandContext::Frame;
}

Korl_CommandContext Korl_CommandRegistry::ActiveChildContext() const { return ContextOf(activeChild_); }

const Korl_CommandRegistry::Entry* Korl_CommandRegistry::Current(int id) const {
    auto it = entries_.find(id);
    if (it == entries_.end()) return nullptr;
    const auto& byContext = it->second;
    const Korl_CommandContext child = ActiveChildContext();
    for (Korl_CommandContext c :
         {Korl_CommandContext::Debugger, Korl_CommandContext::Browsers, child, Korl_CommandContext::Frame}) {
        // A child context answers only for the active child of its kind.
        if ((c == Korl_CommandContext::Editor || c == Korl_CommandContext::Wave) && c != child) continue;
        if (auto e = byContext.find(c); e != byContext.end()) return &e->second;
    }
    return nullptr;
}

Korl_CommandState Korl_CommandRegistry::State(int id) const {
    const Entry* e = Current(id);
    if (!e) return {};
    return e->state ? e->state() : Korl_CommandState{true, false};
}

bool Korl_CommandRegistry::Dispatch(int id) {
    const Entry* e = Current(id);
    if (!e || !e->handler) return false;
    if (e->state && !e->state().enabled) return false;
    // The handler may re-register commands: call a copy.
    Handler handler = e->handler;
    handler();
    NotifyStatesChanged();
    return true;
}

bool Korl_CommandRegistry::Serves(Korl_CommandContext context, int id) const {
    auto it = entries_.find(id);
    return it != entries_.end() && it->second.count(context) > 0;
}

int Korl_CommandRegistry::HandlerCount(Korl_CommandContext context, int id) const {
    auto it = entries_.find(id);
    if (it == entries_.end()) return 0;
    auto e = it->second.find(context);
    return e == it->second.end() ? 0 : (e->second.handler ? 1 : 0);
}

std::vector<int> Korl_CommandRegistry::Ids() const {
    std::vector<int> ids;
    for (const auto& [id, byContext] : entries_) ids.push_back(id);
    return ids;
}

void Korl_CommandRegistry::NotifyStatesChanged() { Q_EMIT statesChanged(); }

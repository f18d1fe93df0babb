#include "scparse/design_model.h"

#include <algorithm>

std::string moduleTypeName(const std::string& type) {
    size_t lt = type.find('<');
    return lt == std::string::npos ? type : type.substr(0, lt);
}

std::string channelTypeName(const std::string& type) {
    static const char* const kChannels[] = {
        "sc_signal", "sc_signal_resolved", "sc_signal_rv", "sc_buffer",     "sc_fifo",
        "sc_clock",  "sc_mutex",           "sc_semaphore", "sc_event_queue"};
    std::string base = moduleTypeName(type);
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base.rfind("sc_core::", 0) == 0) base.erase(0, 9);
    if (base.rfind("::", 0) == 0) base.erase(0, 2);
    for (const char* c : kChannels)
        if (base == c) return base;
    return {};
}

long long DesignModel::arrayLength(const DesignItem& item) const {
    const std::string& n = item.arraySize;
    if (n.empty()) return -1;
    if (n.find_first_not_of("0123456789") == std::string::npos) {
        if (n.size() > 9) return -1;
        return std::stoll(n);
    }
    auto it = constants.find(n);
    return it == constants.end() ? -1 : it->second;
}

void DesignModel::clear() {
    constants.clear();
    modules.clear();
    moduleIndex_.clear();
    memberImpls.clear();
    classes.clear();
}

std::shared_ptr<ModuleRecord> DesignModel::findOrAddModule(const std::string& name) {
    if (auto m = findModule(name)) return m;
    modules.push_back(std::make_shared<ModuleRecord>(name, std::string()));
    if (moduleIndex_.size() + 1 == modules.size()) moduleIndex_.emplace(name, modules.back());
    return modules.back();
}

std::shared_ptr<ModuleRecord> DesignModel::findModule(const std::string& name) const {
    if (moduleIndex_.size() == modules.size()) {
        auto it = moduleIndex_.find(name);
        return it == moduleIndex_.end() ? nullptr : it->second;
    }
    for (const auto& m : modules)
        if (m->name == name) return m;
    return nullptr;
}

namespace {

template <class List>
auto findByName(List& list, const std::string& name) {
    return std::find_if(list.begin(), list.end(), [&](const auto& p) { return p->name == name; });
}

template <class Item>
void takeInstanceLabels(ModuleRecord& m, std::vector<std::shared_ptr<Item>>& items) {
    for (auto& item : items) {
        auto inst = findByName(m.instances, item->name);
        if (inst == m.instances.end()) continue;
        // A channel's first argument that is no string ("sc_fifo<int> f(4)")
        // is no name.
        if (!(*inst)->nameExpression) item->label = (*inst)->label;
        m.instances.erase(inst);
    }
}

} // namespace

namespace {

// Positions of list entries by a key, taken in list order; what was taken
// is removed from the list at the end, keeping the order of the rest.
template <class T>
class TakeIndex {
public:
    TakeIndex(std::vector<std::shared_ptr<T>>& list, std::string (*key)(const T&)) : list_(list) {
        taken_.assign(list.size(), false);
        for (size_t i = 0; i < list.size(); ++i) index_[key(*list[i])].push_back(i);
    }
    // The first untaken entry with this key, or null.
    std::shared_ptr<T> take(const std::string& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return nullptr;
        auto& [positions, next] = it->second;
        if (next >= positions.size()) return nullptr;
        size_t i = positions[next++];
        taken_[i] = true;
        return list_[i];
    }
    ~TakeIndex() {
        size_t out = 0;
        for (size_t i = 0; i < list_.size(); ++i)
            if (!taken_[i]) list_[out++] = std::move(list_[i]);
        list_.resize(out);
    }

private:
    struct Positions {
        std::vector<size_t> positions;
        size_t next = 0;
        void push_back(size_t i) { positions.push_back(i); }
    };
    std::vector<std::shared_ptr<T>>& list_;
    std::vector<bool> taken_;
    std::unordered_map<std::string, Positions> index_;
};

std::string ownerOf(const DeferredProcessItem& p) { return p.ownerClass; }
std::string ownerOfInstance(const DeferredInstanceItem& i) { return i.ownerClass; }
std::string implKey(const MemberImplItem& m) { return m.ownerClass + '\0' + m.name; }

void resolveModules(DesignModel& model, TakeIndex<DeferredProcessItem>& deferredProcs,
                    TakeIndex<DeferredInstanceItem>& deferredInsts, TakeIndex<MemberImplItem>& impls) {
    for (auto& mp : model.modules) {
        ModuleRecord& m = *mp;

        while (auto p = deferredProcs.take(m.name)) m.processes.push_back(p);
        while (auto i = deferredInsts.take(m.name)) m.instances.push_back(i);

        // Member objects of a primitive channel type (sc_fifo, sc_buffer,
        // resolved signals) are channels like the signals.
        for (auto it = m.objects.begin(); it != m.objects.end();) {
            const std::string channel = channelTypeName((*it)->type);
            if (channel.empty() || (*it)->pointer) {
                ++it;
                continue;
            }
            std::shared_ptr<DesignItem> as;
            if (channel == "sc_clock") {
                auto c = std::make_shared<ClockItem>((*it)->name, (*it)->label);
                m.clocks.push_back(c);
                as = c;
            } else {
                auto s = std::make_shared<SignalItem>((*it)->name, (*it)->label);
                if (channel != "sc_signal") s->channel = channel;
                m.signals.push_back(s);
                as = s;
            }
            as->line = (*it)->line;
            as->file = (*it)->file;
            as->arraySize = (*it)->arraySize;
            it = m.objects.erase(it);
        }

        // A name string given to a signal, port, export or clock in the
        // initialiser list is its label, not a sub-module.
        takeInstanceLabels(m, m.signals);
        takeInstanceLabels(m, m.ports);
        takeInstanceLabels(m, m.exports);
        takeInstanceLabels(m, m.clocks);

        // Several instances may share one member (an array of pointers), so
        // the objects are taken only once every instance is placed.
        std::vector<std::shared_ptr<ObjectItem>> used;
        for (auto it = m.instances.begin(); it != m.instances.end();) {
            InstanceItem& inst = **it;
            auto obj = findByName(m.objects, inst.name);
            std::shared_ptr<ModuleRecord> type;
            if (obj != m.objects.end()) type = model.findModule(moduleTypeName((*obj)->type));
            if (!type) {
                it = m.instances.erase(it);
                continue;
            }
            inst.moduleType = type->name;
            inst.siteLine = inst.line;
            inst.siteFile = inst.file;
            inst.line = (*obj)->line;
            inst.file = (*obj)->file;
            inst.implLine = type->line;
            inst.implFile = type->file;
            if (std::find(used.begin(), used.end(), *obj) == used.end()) used.push_back(*obj);
            ++it;
        }
        for (const auto& o : used) m.objects.erase(std::find(m.objects.begin(), m.objects.end(), o));

        auto count = [&](auto& items) {
            for (auto& item : items) item->arrayCount = model.arrayLength(*item);
        };
        count(m.signals);
        count(m.ports);
        count(m.exports);
        count(m.clocks);

        for (auto& fn : m.functions) {
            auto impl = impls.take(m.name + '\0' + fn->name);
            if (!impl) continue;
            fn->implLine = impl->implLine;
            fn->implFile = impl->implFile;
        }

        for (auto& proc : m.processes) {
            auto fn = findByName(m.functions, proc->name);
            if (fn == m.functions.end()) continue;
            proc->siteLine = proc->line;
            proc->siteFile = proc->file;
            proc->line = (*fn)->line;
            proc->file = (*fn)->file;
            proc->implLine = (*fn)->implLine;
            proc->implFile = (*fn)->implFile;
            m.functions.erase(fn);
        }
    }
}

} // namespace

void DesignModel::build() {
    {
        TakeIndex<DeferredProcessItem> deferredProcs(deferredProcesses, ownerOf);
        TakeIndex<DeferredInstanceItem> deferredInsts(deferredInstances, ownerOfInstance);
        TakeIndex<MemberImplItem> impls(memberImpls, implKey);
        resolveModules(*this, deferredProcs, deferredInsts, impls);
    }

    auto mainIt = std::find_if(modules.begin(), modules.end(), [](const auto& m) { return m->main; });
    if (mainIt != modules.end()) std::rotate(modules.begin(), mainIt, mainIt + 1);

    if (modules.empty()) {
        root = nullptr;
        return;
    }
    root = std::make_shared<ModuleRecord>(*modules.front());
    root->children.clear();
    root->label = "sc_main";
    std::vector<const ModuleRecord*> path{modules.front().get()};
    int nodes = 1;
    expand(*root, path, nodes);
}

void DesignModel::expand(ModuleRecord& node, std::vector<const ModuleRecord*>& path, int& nodes) {
    for (const auto& inst : node.instances) {
        auto type = findModule(moduleTypeName(inst->moduleType));
        if (!type) continue;
        if (nodes >= kMaxNodes) return;
        auto child = std::make_shared<ModuleRecord>(*type);
        child->children.clear();
        child->label = inst->label;
        child->siteLine = inst->siteLine;
        child->siteFile = inst->siteFile;
        child->implLine = inst->implLine;
        child->implFile = inst->implFile;
        child->instanceName = inst->name;
        child->nameExpression = inst->nameExpression;
        child->inLoop = inst->inLoop;
        child->conditional = inst->conditional;
        node.children.push_back(child);
        ++nodes;
        // A module that contains itself is shown once more, unexpanded.
        bool recursive = std::find(path.begin(), path.end(), type.get()) != path.end();
        if (recursive || static_cast<int>(path.size()) >= kMaxDepth) continue;
        path.push_back(type.get());
        expand(*child, path, nodes);
        path.pop_back();
    }
}

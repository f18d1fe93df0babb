#include "scparse/design_model.h"

#include <algorithm>

std::string moduleTypeName(const std::string& type) {
    size_t lt = type.find('<');
    return lt == std::string::npos ? type : type.substr(0, lt);
}

void DesignModel::clear() {
    modules.clear();
    memberImpls.clear();
    classes.clear();
}

std::shared_ptr<ModuleRecord> DesignModel::findOrAddModule(const std::string& name) {
    if (auto m = findModule(name)) return m;
    modules.push_back(std::make_shared<ModuleRecord>(name, std::string()));
    return modules.back();
}

std::shared_ptr<ModuleRecord> DesignModel::findModule(const std::string& name) const {
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
        item->label = (*inst)->label;
        m.instances.erase(inst);
    }
}

}  // namespace

void DesignModel::build() {
    for (auto& mp : modules) {
        ModuleRecord& m = *mp;

        for (auto it = deferredProcesses.begin(); it != deferredProcesses.end();) {
            if ((*it)->ownerClass == m.name) {
                m.processes.push_back(*it);
                it = deferredProcesses.erase(it);
            } else {
                ++it;
            }
        }
        for (auto it = deferredInstances.begin(); it != deferredInstances.end();) {
            if ((*it)->ownerClass == m.name) {
                m.instances.push_back(*it);
                it = deferredInstances.erase(it);
            } else {
                ++it;
            }
        }

        // A name string given to a signal, port or export in the initialiser
        // list is its label, not a sub-module.
        takeInstanceLabels(m, m.signals);
        takeInstanceLabels(m, m.ports);
        takeInstanceLabels(m, m.exports);

        for (auto it = m.instances.begin(); it != m.instances.end();) {
            InstanceItem& inst = **it;
            auto obj = findByName(m.objects, inst.name);
            std::shared_ptr<ModuleRecord> type;
            if (obj != m.objects.end()) type = findModule(moduleTypeName((*obj)->type));
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
            m.objects.erase(obj);
            ++it;
        }

        for (auto& fn : m.functions) {
            auto impl = std::find_if(memberImpls.begin(), memberImpls.end(), [&](const auto& mi) {
                return mi->name == fn->name && mi->ownerClass == m.name;
            });
            if (impl == memberImpls.end()) continue;
            fn->implLine = (*impl)->implLine;
            fn->implFile = (*impl)->implFile;
            memberImpls.erase(impl);
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

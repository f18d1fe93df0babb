#include "scparse/model_builder.h"

namespace scparse {

void ModelBuilder::beginModule(const std::string& name, int line) {
    module_ = model_.findOrAddModule(name);
    module_->line = line;
    module_->file = file_;
}

void ModelBuilder::beginMain(int line) {
    beginModule("sc_main", line);
    module_->main = true;
}

void ModelBuilder::beginClass(const std::string& name, int line) {
    class_ = make<ClassRecord>(name, "", line);
    model_.classes.push_back(class_);
}

std::shared_ptr<SignalItem> ModelBuilder::signal(const std::string& name, const std::string& label,
                                                 int line) {
    auto s = make<SignalItem>(name, label, line);
    if (module_) module_->signals.push_back(s);
    return s;
}

std::shared_ptr<ClockItem> ModelBuilder::clock(const std::string& name, const std::string& label, int line) {
    auto c = make<ClockItem>(name, label, line);
    if (module_) module_->clocks.push_back(c);
    return c;
}

std::shared_ptr<PortItem> ModelBuilder::port(const std::string& name, int direction, const std::string& type,
                                             int line) {
    auto p = make<PortItem>(name, "", line);
    p->direction = direction;
    p->interfaceType = type;
    if (module_) module_->ports.push_back(p);
    return p;
}

std::shared_ptr<ExportItem> ModelBuilder::exportItem(const std::string& name, const std::string& type,
                                                     int line) {
    auto e = make<ExportItem>(name, "", line);
    e->interfaceType = type;
    if (module_) module_->exports.push_back(e);
    return e;
}

std::shared_ptr<ObjectItem> ModelBuilder::object(const std::string& name, const std::string& type,
                                                 bool pointer, const std::string& arraySize, int line,
                                                 bool toClass) {
    auto o = make<ObjectItem>(name, "", line);
    o->type = type;
    o->pointer = pointer;
    o->arraySize = arraySize;
    if (toClass) {
        if (class_) class_->objects.push_back(o);
    } else if (module_) {
        module_->objects.push_back(o);
    }
    return o;
}

std::shared_ptr<ProcessItem> ModelBuilder::process(const std::string& name, int line) {
    if (deferred()) {
        auto p = make<DeferredProcessItem>(name, "", line);
        p->ownerClass = owner_;
        mark(*p);
        model_.deferredProcesses.push_back(p);
        return p;
    }
    auto p = make<ProcessItem>(name, "", line);
    mark(*p);
    if (module_) module_->processes.push_back(p);
    return p;
}

std::shared_ptr<InstanceItem> ModelBuilder::instance(const std::string& name, const std::string& label,
                                                     int line) {
    if (deferred()) {
        auto i = make<DeferredInstanceItem>(name, label, line);
        i->ownerClass = owner_;
        mark(*i);
        model_.deferredInstances.push_back(i);
        return i;
    }
    auto i = make<InstanceItem>(name, label, line);
    mark(*i);
    if (module_) module_->instances.push_back(i);
    return i;
}

std::shared_ptr<FunctionItem> ModelBuilder::function(const std::string& name, const std::string& returnType,
                                                     int line, bool withBody, bool toClass) {
    auto f = make<FunctionItem>(name, name, line);
    f->returnType = returnType;
    if (withBody) {
        f->implLine = line;
        f->implFile = file_;
    }
    if (toClass) {
        if (class_) class_->functions.push_back(f);
    } else if (module_) {
        module_->functions.push_back(f);
    }
    return f;
}

void ModelBuilder::memberImpl(const std::string& name, const std::string& ownerClass, int line) {
    auto m = std::make_shared<MemberImplItem>(name, name);
    m->implLine = line;
    m->implFile = file_;
    m->ownerClass = ownerClass;
    model_.memberImpls.push_back(m);
}

} // namespace scparse

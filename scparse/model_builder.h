#pragma once
// Turns what the scanner recognises into design model records: creates each
// record with its location and appends it to the list it belongs to (the
// current module or class, or the model's own lists). Knows nothing of the
// scanner's conditions or of the report.
#include <memory>
#include <string>
#include <vector>

#include "scparse/design_model.h"

namespace scparse {

class ModelBuilder {
public:
    explicit ModelBuilder(DesignModel& model) : model_(model) {}

    void setFile(std::string path) { file_ = std::move(path); }
    const std::string& file() const { return file_; }
    DesignModel& model() { return model_; }

    // Heads and ends of bodies.
    void beginModule(const std::string& name, int line);
    void beginMain(int line);
    void endModule() { module_ = nullptr; }
    void beginClass(const std::string& name, int line);
    void endClass() { class_ = nullptr; }
    bool inModule() const { return module_ != nullptr; }
    bool inClass() const { return class_ != nullptr; }

    // A constructor implemented outside its class: what it registers and
    // creates waits in the model's deferred lists for that class.
    void beginDeferred(const std::string& ownerClass) { owner_ = ownerClass; }
    void endDeferred() { owner_.clear(); }
    bool deferred() const { return !owner_.empty(); }

    // Where a constructor or sc_main statement stands: inside a loop, under
    // a condition. Marks the processes and instances recorded there.
    void setContext(bool inLoop, bool conditional) { inLoop_ = inLoop, conditional_ = conditional; }

    std::shared_ptr<SignalItem> signal(const std::string& name, const std::string& label, int line);
    std::shared_ptr<ClockItem> clock(const std::string& name, const std::string& label, int line);
    std::shared_ptr<PortItem> port(const std::string& name, int direction, const std::string& type, int line);
    std::shared_ptr<ExportItem> exportItem(const std::string& name, const std::string& type, int line);
    // A member object of the current module (or of the current class when
    // toClass is set).
    std::shared_ptr<ObjectItem> object(const std::string& name, const std::string& type, bool pointer,
                                       const std::string& arraySize, int line, bool toClass);
    std::shared_ptr<ProcessItem> process(const std::string& name, int line);
    std::shared_ptr<InstanceItem> instance(const std::string& name, const std::string& label, int line);
    std::shared_ptr<FunctionItem> function(const std::string& name, const std::string& returnType, int line,
                                           bool withBody, bool toClass);
    void memberImpl(const std::string& name, const std::string& ownerClass, int line);
    // An integer constant of the source (for array sizes).
    void constant(const std::string& name, long long value) { model_.constants[name] = value; }

private:
    template <class T>
    std::shared_ptr<T> make(const std::string& name, const std::string& label, int line) {
        auto r = std::make_shared<T>(name, label);
        r->line = line;
        r->file = file_;
        return r;
    }
    template <class T>
    void mark(T& item) {
        item.inLoop = inLoop_;
        item.conditional = conditional_;
    }

    DesignModel& model_;
    std::string file_;
    std::shared_ptr<ModuleRecord> module_;
    std::shared_ptr<ClassRecord> class_;
    std::string owner_;
    bool inLoop_ = false;
    bool conditional_ = false;
};

} // namespace scparse

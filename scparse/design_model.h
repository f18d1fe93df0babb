#pragma once
// What the SystemC scanner found in a project's files, and the builder that
// resolves it across files into the instance tree below sc_main.
// Lists hold shared references: the model owns its records, and the browser
// trees keep the records they show alive across elaborations.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

enum class DesignKind {
    Signal,
    Clock,
    Port,
    Export,
    Object,
    Class,
    Process,
    Instance,
    Function,
    MemberImpl,
    DeferredProcess,
    DeferredInstance,
    Module
};

struct DesignItem {
    DesignItem(std::string n, std::string l) : name(std::move(n)), label(std::move(l)) {}
    virtual ~DesignItem() = default;
    virtual DesignKind kind() const = 0;

    std::string name;
    std::string label; // the name SystemC gives the object, when the source gives one
    int line = 0;      // 1-based
    std::string file;
    std::string arraySize;     // declarator size as written ("4", "N"); empty when not an array
    long long arrayCount = -1; // its value when it is a constant of the source (set by build)
};

// What a browser shows: the SystemC name, or the C++ name without one.
inline const std::string& displayName(const DesignItem& item) {
    return item.label.empty() ? item.name : item.label;
}

struct SignalItem : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Signal; }
    std::string channel; // primitive channel class ("sc_fifo"); empty for sc_signal
};

struct ClockItem : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Clock; }
};

struct PortItem : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Port; }
    int direction = 3; // 0 sc_port, 1 in, 2 out, 3 inout
    std::string interfaceType;
};

struct ExportItem : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Export; }
    std::string interfaceType;
};

struct ObjectItem : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Object; }
    std::string type;
    bool pointer = false;
};

struct FunctionItem;

struct ClassRecord : DesignItem {
    using DesignItem::DesignItem;
    DesignKind kind() const override { return DesignKind::Class; }
    std::vector<std::shared_ptr<ObjectItem>> objects;
    std::vector<std::shared_ptr<FunctionItem>> functions;
};

// Declaration (line/file), site (registration or creation) and body.
struct LocatedItem : DesignItem {
    using DesignItem::DesignItem;
    int siteLine = 0;
    std::string siteFile;
    int implLine = 0;
    std::string implFile;
    // What static analysis cannot count: created or registered inside a
    // loop (once per iteration at run time) or under a condition.
    bool inLoop = false;
    bool conditional = false;
};

struct ProcessItem : LocatedItem {
    using LocatedItem::LocatedItem;
    DesignKind kind() const override { return DesignKind::Process; }
};

struct InstanceItem : LocatedItem {
    using LocatedItem::LocatedItem;
    DesignKind kind() const override { return DesignKind::Instance; }
    std::string moduleType;
    bool nameExpression = false; // the label is the expression that makes the name at run time
};

struct FunctionItem : LocatedItem {
    using LocatedItem::LocatedItem;
    DesignKind kind() const override { return DesignKind::Function; }
    std::string returnType;
};

// A member defined outside its class body ("T C::f() {...}").
struct MemberImplItem : FunctionItem {
    using FunctionItem::FunctionItem;
    DesignKind kind() const override { return DesignKind::MemberImpl; }
    std::string ownerClass;
};

// Registered or created in a constructor implemented outside its class; the
// builder moves it to the module named by ownerClass.
struct DeferredProcessItem : ProcessItem {
    using ProcessItem::ProcessItem;
    DesignKind kind() const override { return DesignKind::DeferredProcess; }
    std::string ownerClass;
};

struct DeferredInstanceItem : InstanceItem {
    using InstanceItem::InstanceItem;
    DesignKind kind() const override { return DesignKind::DeferredInstance; }
    std::string ownerClass;
};

struct ModuleRecord : LocatedItem {
    using LocatedItem::LocatedItem;
    DesignKind kind() const override { return DesignKind::Module; }
    std::vector<std::shared_ptr<ModuleRecord>> children; // elaborated sub-modules
    std::vector<std::shared_ptr<SignalItem>> signals;
    std::vector<std::shared_ptr<PortItem>> ports;
    std::vector<std::shared_ptr<ExportItem>> exports;
    std::vector<std::shared_ptr<ProcessItem>> processes;
    std::vector<std::shared_ptr<InstanceItem>> instances;
    std::vector<std::shared_ptr<ObjectItem>> objects;
    std::vector<std::shared_ptr<FunctionItem>> functions;
    std::vector<std::shared_ptr<ClockItem>> clocks;
    std::string path; // never set by scanning or building
    bool main = false;
    std::string instanceName;    // elaborated sub-module: the C++ name of its instance
    bool nameExpression = false; // its label is the expression that makes the name at run time
};

class DesignModel {
public:
    // Empties modules, member implementations and classes. Deferred items
    // whose module was never found carry over to the next elaboration.
    void clear();
    std::shared_ptr<ModuleRecord> findOrAddModule(const std::string& name);
    std::shared_ptr<ModuleRecord> findModule(const std::string& name) const;
    // Resolves the records across files and elaborates the tree below root.
    // With no module at all, root becomes null.
    void build();

    std::shared_ptr<ModuleRecord> root;
    std::vector<std::shared_ptr<ModuleRecord>> modules;
    std::vector<std::shared_ptr<MemberImplItem>> memberImpls;
    std::vector<std::shared_ptr<DeferredProcessItem>> deferredProcesses;
    std::vector<std::shared_ptr<DeferredInstanceItem>> deferredInstances;
    std::vector<std::shared_ptr<ClassRecord>> classes;
    // Integer constants of the sources (#define, const, enum values) by name,
    // for array sizes written as names.
    std::unordered_map<std::string, long long> constants;

    // The element count of an array declarator when it is a constant of
    // the source; -1 otherwise.
    long long arrayLength(const DesignItem& item) const;

    // Bounds of the elaborated tree: a module that contains itself, or a
    // design that multiplies out, stops growing here.
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxNodes = 100000;

private:
    // Name index of `modules`, trusted while it covers the whole list.
    std::unordered_map<std::string, std::shared_ptr<ModuleRecord>> moduleIndex_;
    void expand(ModuleRecord& node, std::vector<const ModuleRecord*>& path, int& nodes);
};

// The module type named by a declaration type: the type cut at its first "<".
std::string moduleTypeName(const std::string& type);

// The primitive channel a declaration type names ("sc_fifo" for
// "sc_fifo<int>"), or "" when it names none.
std::string channelTypeName(const std::string& type);

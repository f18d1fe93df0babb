// Elaborate against SystemC itself: every design under examples/ and
// tests/scparse/designs/ is built with g++ and the installed SystemC
// library together with hierarchy_dump.cpp, run to the end of elaboration,
// and the hierarchy SystemC reports is compared name by name with the
// design model. Instances, ports (and exports), channels (signals, clocks,
// FIFOs) and processes count; a miss or an invention fails the test.
//
// Static limits, as the browsers mark them:
// - an object constructed without a name gets a generated one ("port_3");
//   the model shows the C++ name, so unnamed items of a scope are paired by
//   count with the generated names of the same category;
// - an array of constant size N stands for N unnamed items;
// - an instance created in a loop stands for every module SystemC made in
//   that scope that nothing else claims, each compared with its subtree;
// - a process or instance under a condition may be absent.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "project/makefile.h"
#include "project/project.h"
#include "scparse/elaborate.h"

namespace {

enum class Category { Module, Port, Channel, Process, Other };

Category categoryOfKind(const std::string& kind) {
    if (kind == "sc_module") return Category::Module;
    static const char* const ports[] = {"sc_in",     "sc_out",     "sc_inout",   "sc_port",
                                        "sc_export", "sc_fifo_in", "sc_fifo_out"};
    for (const char* p : ports)
        if (kind.rfind(p, 0) == 0) return Category::Port;
    static const char* const channels[] = {"sc_signal", "sc_buffer", "sc_fifo", "sc_clock"};
    for (const char* c : channels)
        if (kind.rfind(c, 0) == 0) return Category::Channel;
    if (kind.size() > 8 && kind.compare(kind.size() - 8, 8, "_process") == 0) return Category::Process;
    return Category::Other;
}

const char* categoryName(Category c) {
    switch (c) {
        case Category::Module:
            return "instance";
        case Category::Port:
            return "port";
        case Category::Channel:
            return "channel";
        case Category::Process:
            return "process";
        default:
            return "other";
    }
}

// The hierarchy SystemC reported.
struct RuntimeObject {
    std::string name; // full name
    std::string leaf;
    std::string kind;
    Category category = Category::Other;
    std::vector<RuntimeObject*> children;
    bool claimed = false;
};

struct Runtime {
    std::map<std::string, RuntimeObject> objects;
    std::vector<RuntimeObject*> top;

    void parse(const std::string& text) {
        std::istringstream in(text.substr(text.find("--- hierarchy ---\n") + 18));
        std::string line;
        std::vector<std::string> order;
        while (std::getline(in, line)) {
            size_t tab = line.find('\t');
            if (tab == std::string::npos) continue;
            RuntimeObject o;
            o.name = line.substr(0, tab);
            o.kind = line.substr(tab + 1);
            o.category = categoryOfKind(o.kind);
            size_t dot = o.name.rfind('.');
            o.leaf = dot == std::string::npos ? o.name : o.name.substr(dot + 1);
            if (o.name == "korl_hierarchy_dump") continue;
            objects[o.name] = o;
            order.push_back(o.name);
        }
        for (const auto& n : order) {
            RuntimeObject* o = &objects[n];
            size_t dot = n.rfind('.');
            if (dot == std::string::npos)
                top.push_back(o);
            else if (objects.count(n.substr(0, dot)))
                objects[n.substr(0, dot)].children.push_back(o);
        }
    }
};

bool generatedName(const std::string& leaf) {
    size_t u = leaf.rfind('_');
    return u != std::string::npos && u > 0 && u + 1 < leaf.size() &&
           leaf.find_first_not_of("0123456789", u + 1) == std::string::npos;
}

// A clock's own edge processes ("clk_posedge_action_0") belong to the clock.
bool clockProcess(const RuntimeObject& o, const std::vector<RuntimeObject*>& scope) {
    if (o.category != Category::Process) return false;
    for (const char* edge : {"_posedge_action_", "_negedge_action_"}) {
        size_t at = o.leaf.find(edge);
        if (at == std::string::npos) continue;
        const std::string clock = o.leaf.substr(0, at);
        for (const RuntimeObject* c : scope)
            if (c->kind == "sc_clock" && c->leaf == clock) return true;
    }
    return false;
}

struct Expected {
    std::string leaf;
    Category category;
    bool named = true; // the source gives the SystemC name (or it is a process)
    bool optional = false;
    bool wildcard = false; // created in a loop / array of unknown size
    const ModuleRecord* module = nullptr;
    bool runtimeName = false; // named by an expression: any name will do
};

std::vector<Expected> expectedOf(const ModuleRecord& m) {
    std::vector<Expected> out;
    auto items = [&](const auto& list, Category c) {
        for (const auto& item : list) {
            if (!item->arraySize.empty()) {
                if (item->arrayCount < 0) {
                    out.push_back({item->name, c, false, true, true, nullptr});
                    continue;
                }
                for (long long i = 0; i < item->arrayCount; ++i)
                    out.push_back(
                        {item->name + "[" + std::to_string(i) + "]", c, false, false, false, nullptr});
                continue;
            }
            out.push_back({displayName(*item), c, !item->label.empty(), false, false, nullptr});
        }
    };
    items(m.ports, Category::Port);
    items(m.exports, Category::Port);
    items(m.signals, Category::Channel);
    items(m.clocks, Category::Channel);
    for (const auto& p : m.processes)
        out.push_back({p->name, Category::Process, true, p->conditional || p->inLoop, p->inLoop, nullptr});
    for (const auto& c : m.children) {
        Expected e{displayName(*c), Category::Module, !c->label.empty() && !c->nameExpression,
                   c->conditional,  c->inLoop,        c.get()};
        e.runtimeName = c->nameExpression;
        out.push_back(e);
    }
    return out;
}

void compare(const ModuleRecord& m, const std::string& scope, const std::vector<RuntimeObject*>& runtime,
             std::vector<std::string>& errors);

std::string full(const std::string& scope, const std::string& leaf) {
    return scope.empty() ? leaf : scope + "." + leaf;
}

void compare(const ModuleRecord& m, const std::string& scope, const std::vector<RuntimeObject*>& runtime,
             std::vector<std::string>& errors) {
    std::vector<RuntimeObject*> pool;
    for (RuntimeObject* o : runtime)
        if (o->category != Category::Other && !clockProcess(*o, runtime)) pool.push_back(o);
    auto take = [&](const std::string& leaf, Category c) -> RuntimeObject* {
        for (RuntimeObject* o : pool)
            if (!o->claimed && o->category == c && o->leaf == leaf) {
                o->claimed = true;
                return o;
            }
        return nullptr;
    };

    std::vector<Expected> unnamed, wildcards;
    for (const Expected& e : expectedOf(m)) {
        if (e.wildcard) {
            wildcards.push_back(e);
            continue;
        }
        if (RuntimeObject* o = take(e.leaf, e.category)) {
            if (e.module) compare(*e.module, o->name, o->children, errors);
            continue;
        }
        if (!e.named)
            unnamed.push_back(e);
        else if (!e.optional)
            errors.push_back("invented " + std::string(categoryName(e.category)) + " " + full(scope, e.leaf));
    }
    // Unnamed items against generated names, by count.
    for (const Expected& e : unnamed) {
        RuntimeObject* found = nullptr;
        for (RuntimeObject* o : pool)
            if (!o->claimed && o->category == e.category && (e.runtimeName || generatedName(o->leaf))) {
                found = o;
                break;
            }
        if (!found) {
            if (!e.optional)
                errors.push_back("invented " + std::string(categoryName(e.category)) + " " +
                                 full(scope, e.leaf) + " (unnamed)");
            continue;
        }
        found->claimed = true;
        if (e.module) compare(*e.module, found->name, found->children, errors);
    }
    // Loop instances and arrays of unknown size take what is left of their
    // category; a loop instance's copies must each match its subtree.
    for (const Expected& w : wildcards) {
        for (RuntimeObject* o : pool) {
            if (o->claimed || o->category != w.category) continue;
            if (w.module) {
                std::vector<std::string> sub;
                compare(*w.module, o->name, o->children, sub);
                if (!sub.empty() && wildcards.size() > 1) continue; // another loop instance's copy
                errors.insert(errors.end(), sub.begin(), sub.end());
            }
            o->claimed = true;
        }
    }
    for (RuntimeObject* o : pool)
        if (!o->claimed)
            errors.push_back("missed " + std::string(categoryName(o->category)) + " " + o->name + " (" +
                             o->kind + ")");
}

std::string readAll(FILE* p) {
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    return out;
}

std::string run(const std::string& cmd, int* status) {
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) {
        *status = -1;
        return {};
    }
    std::string out = readAll(p);
    int rc = ::pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::vector<std::string> designProjects() {
    std::vector<std::string> projects;
    for (const std::string root : {std::string(KORL_SOURCE_DIR) + "/examples",
                                   std::string(KORL_SOURCE_DIR) + "/tests/scparse/designs"}) {
        DIR* d = ::opendir(root.c_str());
        if (!d) continue;
        std::vector<std::string> dirs;
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') dirs.push_back(root + "/" + e->d_name);
        ::closedir(d);
        std::sort(dirs.begin(), dirs.end());
        for (const auto& dir : dirs) {
            DIR* dd = ::opendir(dir.c_str());
            if (!dd) continue;
            while (dirent* e = ::readdir(dd)) {
                std::string n = e->d_name;
                if (n.size() > 3 && n.compare(n.size() - 3, 3, ".k1") == 0) projects.push_back(dir + "/" + n);
            }
            ::closedir(dd);
        }
    }
    return projects;
}

std::string testName(const std::string& project) {
    size_t slash = project.rfind('/');
    std::string name = project.substr(slash + 1, project.size() - slash - 4);
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class GroundTruth : public ::testing::TestWithParam<std::string> {};

TEST_P(GroundTruth, DesignModelMatchesTheHierarchySystemCReports) {
    const std::string projectPath = GetParam();
    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    ASSERT_TRUE(project.Load(projectPath)) << projectPath;
    const std::string dir = project.Directory();

    // The real hierarchy: every source in one translation unit keeps the
    // build short; the design's sc_main runs under another name.
    const std::string scratch =
        ::testing::TempDir() + "korl_truth_" + std::to_string(::getpid()) + "_" + testName(projectPath) + "/";
    ::mkdir(scratch.c_str(), 0755);
    {
        std::ofstream unity(scratch + "unity.cpp");
        for (const auto& item : project.Sources())
            unity << "#include \"" << (item.directory.empty() ? dir : item.directory) << item.name << "\"\n";
    }
    int status = 0;
    std::string out = run("g++ -std=c++17 -O0 -w -Dsc_main=korl_user_sc_main -I'" + dir + "' '" + scratch +
                              "unity.cpp' '" KORL_HIERARCHY_DUMP "' -lsystemc -o '" + scratch + "design'",
                          &status);
    ASSERT_EQ(status, 0) << out;
    out = run("cd '" + scratch + "' && ./design", &status);
    ASSERT_EQ(status, 0) << out;
    ASSERT_NE(out.find("--- hierarchy ---"), std::string::npos) << out;
    Runtime runtime;
    runtime.parse(out);

    for (size_t i = 0; i < project.Sources().size(); ++i)
        korl::UpdateIncludes(*project.MutableSource(i), true, project.ExtraIncludes(), dir);
    std::vector<scparse::ElabSource> sources;
    for (const auto& item : project.Sources()) sources.push_back({item.directory, item.name, item.includes});
    DesignModel model;
    auto result = scparse::runElaboration(model, scparse::elaborationFileList(sources, dir), dir);
    ASSERT_TRUE(result.completed);
    EXPECT_TRUE(result.messages.empty()) << result.messages.front();
    ASSERT_NE(model.root, nullptr);

    std::vector<std::string> errors;
    compare(*model.root, "", runtime.top, errors);
    std::string all;
    for (const auto& e : errors) all += "  " + e + "\n";
    EXPECT_TRUE(errors.empty()) << errors.size() << " difference(s) from SystemC's hierarchy of "
                                << projectPath << ":\n"
                                << all << "SystemC reported:\n"
                                << out.substr(out.find("--- hierarchy ---"));
    run("rm -rf '" + scratch + "'", &status);
}

INSTANTIATE_TEST_SUITE_P(Designs, GroundTruth, ::testing::ValuesIn(designProjects()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return testName(info.param);
                         });

} // namespace

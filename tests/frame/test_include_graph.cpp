// The source folders form a graph without cycles, with app/ on top: built
// from the #include lines of every source file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFolders = {"base",     "grammar", "project", "scparse", "waview",
                                           "debugger", "editor",  "frame",   "app",     "tools/korlc"};

// "debugger/qt/x.h" -> "debugger/qt"; "x.h" -> "".
std::string FolderOf(const std::string& relPath) {
    const auto slash = relPath.rfind('/');
    return slash == std::string::npos ? std::string() : relPath.substr(0, slash);
}

using Graph = std::map<std::string, std::set<std::string>>;

Graph IncludeGraph(const fs::path& root) {
    Graph graph;
    const std::regex include(R"(^\s*#\s*include\s*\"([^\"]+)\")");
    for (const std::string& top : kFolders) {
        if (!fs::exists(root / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            const std::string rel = fs::relative(entry.path(), root).generic_string();
            const std::string from = FolderOf(rel);
            graph[from];
            std::ifstream in(entry.path());
            std::string line;
            std::smatch m;
            while (std::getline(in, line)) {
                if (!std::regex_search(line, m, include)) continue;
                const std::string target = m[1].str();
                const std::string to = FolderOf(target);
                // Only folders of this tree count (generated and same-folder names do not).
                if (to.empty() || to == from || !fs::exists(root / target)) continue;
                graph[from].insert(to);
            }
        }
    }
    return graph;
}

// A cycle as "a -> b -> a", or empty.
std::string FindCycle(const Graph& graph) {
    std::map<std::string, int> state; // 0 new, 1 on the path, 2 done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        auto it = graph.find(node);
        if (it != graph.end()) {
            for (const std::string& next : it->second) {
                if (state[next] == 1) {
                    auto start = std::find(path.begin(), path.end(), next);
                    for (auto p = start; p != path.end(); ++p) cycle += *p + " -> ";
                    cycle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) return true;
            }
        }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, edges] : graph)
        if (state[node] == 0 && visit(node)) return cycle;
    return {};
}

} // namespace

TEST(IncludeGraph, CycleFinderSeesCycles) {
    EXPECT_EQ(FindCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {}}}), "");
    EXPECT_EQ(FindCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}}), "a -> b -> c -> a");
}

TEST(IncludeGraph, FoldersFormNoCycle) {
    const Graph graph = IncludeGraph(KORL_SOURCE_DIR);
    ASSERT_GT(graph.size(), 5u);
    EXPECT_EQ(FindCycle(graph), "");
}

TEST(IncludeGraph, OnlyAppIncludesApp) {
    for (const auto& [from, edges] : IncludeGraph(KORL_SOURCE_DIR)) {
        if (from == "app") continue;
        EXPECT_EQ(edges.count("app"), 0u) << from << " includes app/";
    }
}

TEST(IncludeGraph, PureFoldersIncludeNoWindowCode) {
    for (const auto& [from, edges] : IncludeGraph(KORL_SOURCE_DIR)) {
        if (from.find("qt") != std::string::npos || from == "editor" || from == "frame" || from == "app")
            continue;
        for (const std::string& to : edges) {
            EXPECT_EQ(to.find("qt"), std::string::npos) << from << " includes " << to;
            EXPECT_TRUE(to != "editor" && to != "frame" && to != "app") << from << " includes " << to;
        }
    }
}

#include "scparse/elaborate.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "base/short_name.h"
#include "scparse/sc_lexer.h"

namespace scparse {

std::vector<std::string> elaborationFileList(const std::vector<ElabSource>& sources,
                                             const std::string& projectDir) {
    std::vector<std::string> files;
    for (const auto& src : sources)
        for (const auto& inc : src.includes)
            if (std::find(files.begin(), files.end(), inc) == files.end()) files.push_back(inc);
    for (const auto& src : sources) {
        if (src.directory.empty() || src.directory == projectDir)
            files.push_back(src.name);
        else
            files.push_back(src.directory + src.name);
    }
    return files;
}

namespace {

bool isAbsolute(const std::string& path) { return !path.empty() && (path[0] == '/' || path[0] == '\\'); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

ElaborationResult runElaboration(DesignModel& model, const std::vector<std::string>& files,
                                 const std::string& projectDir, const ElaborationOptions& options) {
    ElaborationResult result;
    model.clear();
    const std::string reportPath = projectDir + kReportFileName;
    for (const auto& path : files) {
        auto lexer = std::make_unique<SC_Lexer>(model, reportPath.c_str());
        const std::string openPath = isAbsolute(path) || projectDir.empty() ? path : projectDir + path;
        // A FIFO would block the scan for ever and a device never end.
        struct stat st;
        if (::stat(openPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            result.skipped.push_back(openPath +
                                     (S_ISDIR(st.st_mode) ? " is a directory" : " is not a regular file") +
                                     ", skipped");
            continue;
        }
        FILE* in = std::fopen(openPath.c_str(), "r");
        if (!in) {
            lexer.reset();
            std::remove(reportPath.c_str()); // our scratch file; never leave it behind
            result.failedFile = path;
            result.consoleText = kElaborationError;
            return result;
        }
        lexer->yyin = in;
        if (lexer->yycreate()) {
            lexer->setFileName(path.c_str());
            lexer->yylex();
        }
        std::fclose(in);
        lexer.reset(); // closes the report
        if (options.onReport) options.onReport(path, readFile(reportPath));
    }
    std::remove(reportPath.c_str());
    model.build();
    result.completed = true;
    return result;
}

const char* imageName(int image) {
    static const char* const names[kImageCount] = {"sc_main", "unused",  "in port", "out port", "inout port",
                                                   "signal",  "process", "module",  "function", "object",
                                                   "sc_port", "export",  "clock",   "class",    "instance"};
    return image >= 0 && image < kImageCount ? names[image] : "?";
}

namespace {

int portImage(int direction) {
    switch (direction) {
        case 0:
            return kImagePort;
        case 1:
            return kImageInPort;
        case 2:
            return kImageOutPort;
        case 3:
            return kImageInoutPort;
        default:
            return -1;
    }
}

template <class List>
void addItems(BrowserNode& parent, const List& items, int image) {
    for (const auto& item : items) parent.children.push_back(BrowserNode{item->name, image, item, false, {}});
}

void addPorts(BrowserNode& parent, const std::vector<std::shared_ptr<PortItem>>& ports) {
    for (const auto& port : ports) {
        int image = portImage(port->direction);
        if (image >= 0) parent.children.push_back(BrowserNode{port->name, image, port, false, {}});
    }
}

BrowserNode designNode(const std::shared_ptr<ModuleRecord>& m) {
    BrowserNode node{m->label, m->main ? kImageMain : kImageModule, m, true, {}};
    addPorts(node, m->ports);
    addItems(node, m->exports, kImageExport);
    addItems(node, m->signals, kImageSignal);
    addItems(node, m->processes, kImageProcess);
    for (const auto& child : m->children) node.children.push_back(designNode(child));
    return node;
}

} // namespace

std::vector<BrowserNode> fillDesignBrowser(const std::shared_ptr<ModuleRecord>& root) {
    std::vector<BrowserNode> tree;
    if (root) tree.push_back(designNode(root));
    return tree;
}

std::vector<BrowserNode> fillSourceBrowser(const std::vector<std::shared_ptr<ModuleRecord>>& modules,
                                           const std::vector<std::shared_ptr<ClassRecord>>& classes) {
    std::vector<BrowserNode> tree;
    for (const auto& m : modules) {
        BrowserNode node{m->name, m->main ? kImageMain : kImageModule, m, false, {}};
        addItems(node, m->clocks, kImageClock);
        addPorts(node, m->ports);
        addItems(node, m->exports, kImageExport);
        addItems(node, m->signals, kImageSignal);
        addItems(node, m->processes, kImageProcess);
        addItems(node, m->instances, kImageInstance);
        addItems(node, m->functions, kImageFunction);
        addItems(node, m->objects, kImageObject);
        tree.push_back(std::move(node));
    }
    for (const auto& c : classes) {
        BrowserNode node{c->name, kImageClass, c, false, {}};
        addItems(node, c->functions, kImageFunction);
        addItems(node, c->objects, kImageObject);
        tree.push_back(std::move(node));
    }
    return tree;
}

std::vector<int> contextCommands(BrowserTree tree, int image) {
    if (tree == BrowserTree::Design) {
        if (image == kImageProcess) return {kGotoDeclaration, kGotoImplementation};
        if (image == kImageModule) return {kGotoImplementation, kGotoInstantiation};
    } else {
        if (image == kImageProcess) return {kGotoDeclaration, kGotoImplementation, kGotoRegisteration};
        if (image == kImageInstance) return {kGotoDeclaration, kGotoImplementation, kGotoInstantiation};
    }
    return {};
}

SourceLocation jumpLocation(const DesignItem& record, int command) {
    const auto* located = dynamic_cast<const LocatedItem*>(&record);
    switch (command) {
        case kGotoImplementation:
            if (located) return {located->implLine, located->implFile};
            return {};
        case kGotoInstantiation:
        case kGotoRegisteration:
            if (located) return {located->siteLine, located->siteFile};
            return {};
        default:
            return {record.line, record.file};
    }
}

JumpTarget resolveJump(const SourceLocation& location, const std::string& projectDir) {
    size_t slash = location.file.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? std::string() : location.file.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? location.file : location.file.substr(slash + 1);
    JumpTarget t;
    // Include entries such as "inc/x.h" are relative to the project
    // directory, whatever the current directory is.
    if (dir.empty() || !isAbsolute(dir)) dir = projectDir + dir;
    t.fullPath = dir + name;
    t.shortName = korl::ProjectShortName(t.fullPath, projectDir);
    t.line0 = location.line - 1;
    return t;
}

} // namespace scparse

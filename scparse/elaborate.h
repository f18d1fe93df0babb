#pragma once
// Elaborate without windows: the file list, the scan of every file into the
// design model, and the Design Browser and Source Browser contents as plain
// trees that the panes show and jump from.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scparse/design_model.h"

namespace scparse {

// One project source as the elaboration list needs it.
struct ElabSource {
    std::string directory; // absolute, ends in "/" (or empty)
    std::string name;
    std::vector<std::string> includes; // as the include scan stored them
};

// Every header some source includes (once each, first appearance first),
// then every source: its name alone when it lies in the project directory,
// otherwise directory and name.
std::vector<std::string> elaborationFileList(const std::vector<ElabSource>& sources,
                                             const std::string& projectDir);

inline constexpr const char* kReportFileName = "output.out";
inline constexpr const char* kElaborationError = "Error in Elaboration\r\nPlease contact vendor";

struct ElaborationResult {
    bool completed = false;  // false: stopped at a file that could not be opened
    std::string failedFile;  // that file
    std::string consoleText; // what goes to the Virtual Console ("" when completed)
    // Files skipped because they are no regular file (a FIFO, a device, a
    // directory), each with a message naming it; the scan went on without them.
    std::vector<std::string> skipped;
};

struct ElaborationOptions {
    // Called after each file with its report lines (for diagnostics; reading
    // the report back costs time, so leave it empty otherwise).
    std::function<void(const std::string& path, const std::string& report)> onReport;
};

// Clears the model, scans each file (relative paths from projectDir) with
// its own scanner, deletes projectDir + "output.out" and builds the model.
// Stops without building at the first file that cannot be opened.
ElaborationResult runElaboration(DesignModel& model, const std::vector<std::string>& files,
                                 const std::string& projectDir, const ElaborationOptions& options = {});

// Images of the browser trees (their index in the image strip).
enum BrowserImage : int {
    kImageMain = 0,
    kImageUnused = 1,
    kImageInPort = 2,
    kImageOutPort = 3,
    kImageInoutPort = 4,
    kImageSignal = 5,
    kImageProcess = 6,
    kImageModule = 7,
    kImageFunction = 8,
    kImageObject = 9,
    kImagePort = 10,
    kImageExport = 11,
    kImageClock = 12,
    kImageClass = 13,
    kImageInstance = 14,
};
inline constexpr int kImageCount = 15;

// Short name of an image for text output ("process", "in port", "module").
const char* imageName(int image);

struct BrowserNode {
    std::string text;
    int image = 0;
    std::shared_ptr<DesignItem> record; // the record the node shows
    bool expanded = false;
    std::vector<BrowserNode> children;
};

// The Design Browser: the elaborated tree below root (empty without root),
// every module node expanded.
std::vector<BrowserNode> fillDesignBrowser(const std::shared_ptr<ModuleRecord>& root);

// The Source Browser: each module with its members, then each class with its
// functions and objects; nothing expanded.
std::vector<BrowserNode> fillSourceBrowser(const std::vector<std::shared_ptr<ModuleRecord>>& modules,
                                           const std::vector<std::shared_ptr<ClassRecord>>& classes);

enum class BrowserTree { Design, Source };

// Commands of the "&Browse" menu.
enum BrowseCommand : int {
    kGotoDeclaration = 32870,
    kGotoImplementation = 32871,
    kGotoInstantiation = 32872,
    kGotoRegisteration = 32875,
};

// Commands the context menu shows for a node of this image in this tree;
// empty means no menu.
std::vector<int> contextCommands(BrowserTree tree, int image);

struct SourceLocation {
    int line = 0; // 1-based; 0 when unknown
    std::string file;
};

// Where a command jumps for a record: declaration (also double-click and
// Enter), implementation, or site (instantiation, registration).
SourceLocation jumpLocation(const DesignItem& record, int command);

struct JumpTarget {
    std::string fullPath;
    std::string shortName; // the project's display title for the path
    int line0 = -1;        // 0-based editor line (location line - 1)
};

// An empty or relative directory part is taken from the project directory.
JumpTarget resolveJump(const SourceLocation& location, const std::string& projectDir);

} // namespace scparse

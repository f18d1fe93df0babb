#pragma once
// The one open project: its file lists, options and the ".k1" project file.
// Pure model: dialogs, the tree and message boxes belong to the window layer,
// which hands in file choices and a prompt callback and observes changes
// through listeners (or by polling Revision()).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

// One file of the project.
struct ProjectItem {
    std::string name;                  // file name with extension
    std::string directory;             // absolute, ends in "/"
    std::vector<std::string> includes; // filled by the include scan
    int64_t scanTime = 0;              // write time when `includes` was filled; 0 = never
    bool usesSystemC = false;
    bool usesScv = false;

    // Directory = drive + directory part, name = base + extension.
    static ProjectItem FromPath(const std::string& fullPath);
    std::string FullPath() const { return directory + name; }
    // Items are the same file when name and directory are byte-equal.
    bool operator==(const ProjectItem& o) const { return name == o.name && directory == o.directory; }
};

// Texts of the project dialogs the window layer shows ("|" separates the
// filter strings of the Add Existing File dialog).
inline constexpr const char* kProjectFilterName = "Project Files (*.k1)";
inline constexpr const char* kProjectFilterPattern = "*.k1";
inline constexpr const char* kAddExistingFilter =
    "Source/Header Files (*.c;*.cc;*.cpp;*h;*hpp)|*.c;*.cc;*.cpp;*h;*hpp;|All Files (*.*)|*.*|";
inline constexpr const char* kAddNewSourceFilterName = "Source Files (*.cpp)";
inline constexpr const char* kAddNewSourceFilterPattern = "*.cpp;";
inline constexpr const char* kAddNewHeaderFilterName = "Header Files (*.h)";
inline constexpr const char* kAddNewHeaderFilterPattern = "*.h";

// The first character of `path` that no makefile can carry in a file name
// (a line break, "|", or a backslash, which Korl reads as a separator), or 0.
char UnmakeableCharacter(std::string_view path);
// "a newline", "a carriage return", "'|'", "a backslash".
std::string UnmakeableCharacterText(char c);

enum class ItemKind : uint32_t { Source = 's', Header = 'h' };

// What a file node of the tree carries: the list and the position in it.
struct ItemTag {
    ItemKind kind = ItemKind::Source;
    uint32_t index = 0;
    bool operator==(const ItemTag&) const = default;
};

enum class PromptButtons { YesNo, YesNoCancel };
enum class PromptAnswer { Yes, No, Cancel };
// Asks `text` with caption "Korl"; the window layer shows a message box,
// korlc answers No.
using ClosePrompt = std::function<PromptAnswer(const std::string& text, PromptButtons buttons)>;

enum class ProjectEvent {
    Opened,          // New Project or Load: lists, options and title are new
    Closed,          // no project any more
    FilesChanged,    // sources or headers changed: rebuild the file nodes
    OptionsChanged,  // one of the five options changed
    ModifiedChanged, // the modified flag flipped
};
using ProjectListener = std::function<void(ProjectEvent)>;

// Result of Add Existing File.
struct AddFilesResult {
    std::vector<uint32_t> addedSources;  // indices into Sources()
    std::vector<uint32_t> addedHeaders;  // indices into Headers()
    std::vector<std::string> duplicates; // already in their list
    std::vector<std::string> ignored;    // neither source nor header extension
    // Names make cannot express, each with the reason ("... contains a newline").
    std::vector<std::pair<std::string, std::string>> refused;
};

// Result of Add New File.
struct AddNewFileResult {
    std::string path;           // the file created (name completed)
    bool created = false;       // false when it could not be created
    std::string refused;        // why the name was refused (nothing created); empty otherwise
    std::optional<ItemTag> tag; // where it was added; none for other extensions
    std::string displayTitle;   // window title for the editor that opens it
};

class Project {
public:
    Project();

    // ---- lifecycle ------------------------------------------------------
    // The chosen name with ".k1" appended when it contains no ".k1".
    static std::string ProjectFileNameFor(const std::string& chosen);
    // Closes the current project (Yes/No), then creates `path` and writes it
    // at once. False when the file could not be written (the project is open
    // and modified all the same; LastError() says why).
    bool NewProject(const std::string& path);
    // Closes the current project (Yes/No) and reads `path`. A file that is
    // missing, unreadable, too large or no project file (no [ProjectInfo]
    // section) is refused before anything is closed: false, with the path
    // and the reason in LastError().
    bool Load(const std::string& path);
    // Writes the project file when modified; true when nothing had to be
    // written or it was written. On failure the old file stays untouched,
    // the project stays modified and LastError() says why.
    bool Save();
    // False when the user cancelled; otherwise the project is closed.
    bool Close(PromptButtons buttons);
    // Text of the close prompt: the title, the executable suffix and
    // " has been modified. Save it?".
    std::string ClosePromptText() const;
    void SetClosePrompt(ClosePrompt prompt) { prompt_ = std::move(prompt); }

    bool IsOpen() const { return !fileName_.empty(); }
    bool IsModified() const { return modified_; }
    const std::string& LastError() const { return lastError_; }

    // ---- names ------------------------------------------------------------
    std::string Title() const;                                  // file name less its last three characters
    const std::string& Directory() const { return directory_; } // ends in "/"
    const std::string& FileName() const { return fileName_; }
    std::string FilePath() const { return directory_ + fileName_; }

    // ---- files ------------------------------------------------------------
    const std::vector<ProjectItem>& Sources() const { return sources_; }
    const std::vector<ProjectItem>& Headers() const { return headers_; }
    const ProjectItem* Item(ItemTag tag) const;
    // For the include scan, which only fills the scan fields.
    ProjectItem* MutableSource(size_t index) { return index < sources_.size() ? &sources_[index] : nullptr; }

    // List an extension belongs to when adding existing files: ".c", ".cpp",
    // ".cc" sources, ".h", ".hpp" headers (exact case), otherwise none.
    static std::optional<ItemKind> KindForExistingFile(const std::string& path);
    // Add Existing File: the full paths the user chose. Sets modified even
    // when nothing was added.
    AddFilesResult AddExistingFiles(const std::vector<std::string>& fullPaths);

    // Add New File: completes the chosen name (".cpp" for filter 0, ".h" for
    // filter 1 when it contains neither), creates the file empty (truncating
    // an existing one) and adds it by its exact extension.
    static std::string NewFileNameFor(const std::string& chosen, int filterIndex);
    AddNewFileResult AddNewFile(const std::string& chosenPath, int filterIndex);

    // Remove: erases the item (the file on disk stays) and returns it, so the
    // caller can close its editor. Items after it move up by one.
    std::optional<ProjectItem> RemoveItem(ItemTag tag);

    // Window title of an item's editor: its name when it lies in the project
    // directory, otherwise its full path.
    std::string DisplayTitle(const ProjectItem& item) const;

    bool IsProjectSource(const std::string& path) const;
    bool IsProjectFile(const std::string& path) const;
    std::optional<ItemTag> FindItem(const std::string& fullPath) const;

    // ---- options ------------------------------------------------------------
    const std::string& VcdFileName() const { return vcdFileName_; }
    const std::string& ExtraPreprocessor() const { return extraPreprocessor_; }
    const std::string& ExtraIncludes() const { return extraIncludes_; }
    const std::string& ExtraLibraries() const { return extraLibraries_; }
    const std::string& ExtraLibraryPaths() const { return extraLibraryPaths_; }
    // The simulation's command-line arguments (shell-like quoting), used by
    // Run, Start Debugging and korlc; [Extra] ProgramArgs, absent in older files.
    const std::string& ProgramArguments() const { return programArguments_; }
    // Each setter normalises, stores and marks the project modified only when
    // the normalised value differs; the result tells whether it changed.
    bool SetVcdFileName(const std::string& value);
    bool SetExtraPreprocessor(const std::string& value);
    bool SetExtraIncludes(const std::string& value);
    bool SetExtraLibraries(const std::string& value);
    bool SetExtraLibraryPaths(const std::string& value);
    bool SetProgramArguments(const std::string& value);

    static std::string NormalizeVcdFileName(const std::string& value);
    static std::string RemoveBlanks(const std::string& value);

    // ---- observation -------------------------------------------------------
    int AddListener(ProjectListener listener);
    void RemoveListener(int id);
    // Grows with every change of files, options, the modified flag or the
    // open project.
    uint64_t Revision() const { return revision_; }

    // The project file's text as Save would write it.
    std::string FileText() const;

private:
    void Reset();
    void SetModified(bool m);
    void Notify(ProjectEvent e);
    bool SetOption(std::string& field, const std::string& value);
    void OpenAt(const std::string& path);

    std::string directory_;
    std::string fileName_;
    bool modified_ = false;
    std::string vcdFileName_;
    std::string extraPreprocessor_;
    std::string extraIncludes_;
    std::string extraLibraries_;
    std::string extraLibraryPaths_;
    std::string programArguments_;
    std::vector<ProjectItem> sources_;
    std::vector<ProjectItem> headers_;

    ClosePrompt prompt_;
    std::string lastError_;
    uint64_t revision_ = 0;
    int nextListenerId_ = 1;
    std::vector<std::pair<int, ProjectListener>> listeners_;
};

} // namespace korl

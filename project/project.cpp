#include "project/project.h"

#include "project/filelock.h"
#include "project/ini.h"
#include "base/atomic_file.h"
#include "base/short_name.h"
#include "project/paths.h"
#include "project/toollayout.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace korl {

namespace {

// The number of an "ItemN" key (any letter case), or -1 for another key.
long long ItemNumber(const std::string& key) {
    if (key.size() < 5 || key.size() > 22) return -1;
    for (size_t i = 0; i < 4; ++i)
        if ((key[i] | 0x20) != "item"[i]) return -1;
    long long v = 0;
    for (size_t i = 4; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || v > (1LL << 50)) return -1;
        v = v * 10 + (key[i] - '0');
    }
    return v;
}

std::string ItemKey(size_t i) { return "Item" + std::to_string(i); }

bool Contains(const std::vector<ProjectItem>& list, const ProjectItem& item) {
    for (const ProjectItem& x : list)
        if (x == item) return true;
    return false;
}

} // namespace

char UnmakeableCharacter(std::string_view path) {
    for (char c : path)
        if (c == '\n' || c == '\r' || c == '|' || c == '\\') return c;
    return 0;
}

std::string UnmakeableCharacterText(char c) {
    switch (c) {
        case '\n':
            return "a newline";
        case '\r':
            return "a carriage return";
        case '\\':
            return "a backslash";
        default:
            return std::string("'") + c + "'";
    }
}

namespace {
std::string RefusalText(char c) {
    return "the name contains " + UnmakeableCharacterText(c) + ", which make cannot express";
}
} // namespace

ProjectItem ProjectItem::FromPath(const std::string& fullPath) {
    PathParts p = SplitPath(fullPath);
    ProjectItem item;
    item.directory = p.drive + p.dir;
    item.name = p.base + p.ext;
    return item;
}

Project::Project() = default;

std::string Project::ProjectFileNameFor(const std::string& chosen) {
    if (FileNameOf(chosen).find(".k1") != std::string::npos) return chosen;
    return chosen + ".k1";
}

std::string Project::NewFileNameFor(const std::string& chosen, int filterIndex) {
    std::string name = FileNameOf(chosen);
    if (name.find(".cpp") != std::string::npos || name.find(".h") != std::string::npos) return chosen;
    return chosen + (filterIndex == 1 ? ".h" : ".cpp");
}

std::string Project::Title() const {
    return fileName_.size() >= 3 ? fileName_.substr(0, fileName_.size() - 3) : std::string();
}

std::string Project::ClosePromptText() const {
    return Title() + kExecutableSuffix + " has been modified. Save it?";
}

void Project::Reset() {
    directory_.clear();
    fileName_.clear();
    vcdFileName_.clear();
    sources_.clear();
    headers_.clear();
    extraPreprocessor_.clear();
    extraIncludes_.clear();
    extraLibraries_.clear();
    extraLibraryPaths_.clear();
    programArguments_.clear();
    modified_ = false;
}

void Project::OpenAt(const std::string& path) {
    const std::string abs = AbsolutePath(path);
    directory_ = DirectoryOf(abs);
    fileName_ = FileNameOf(abs);
    vcdFileName_ = Title();
}

bool Project::Close(PromptButtons buttons) {
    if (modified_) {
        PromptAnswer a = prompt_ ? prompt_(ClosePromptText(), buttons) : PromptAnswer::No;
        if (a == PromptAnswer::Cancel && buttons == PromptButtons::YesNoCancel) return false;
        if (a == PromptAnswer::Yes) Save();
    }
    const bool wasOpen = IsOpen() || modified_;
    Reset();
    if (wasOpen) Notify(ProjectEvent::Closed);
    return true;
}

bool Project::NewProject(const std::string& path) {
    Close(PromptButtons::YesNo);
    OpenAt(ProjectFileNameFor(path));
    modified_ = true;
    Notify(ProjectEvent::Opened);
    return Save();
}

bool Project::Load(const std::string& path) {
    // Read first: a file that cannot be read leaves the open project alone
    // and never turns into an empty project of that name.
    const std::string abs = AbsolutePath(path);
    IniFile ini;
    std::string why;
    if (!ini.Load(abs, &why)) {
        lastError_ = "cannot open project file " + abs + ": " + why;
        return false;
    }
    if (ini.Sections().empty() || ini.Keys("ProjectInfo").empty()) {
        lastError_ =
            "cannot open project file " + abs + ": not a Korl project file (no [ProjectInfo] section)";
        return false;
    }
    lastError_.clear();
    Close(PromptButtons::YesNo);
    // Closing may have saved this very file.
    if (!ini.Load(abs, &why)) {
        lastError_ = "cannot open project file " + abs + ": " + why;
        return false;
    }
    // Through a symbolic link, the project is the file it points to: its
    // directory is the one the stored paths are relative to, and saving
    // writes it while the link stays.
    OpenAt(AbsolutePath(FollowLinks(abs)));

    (void)ini.Get("ProjectInfo", "Version");
    // The items present are read in the order of their numbers, whatever the
    // stored counts say; Save writes the counts anew.
    auto readList = [&](const char* section, std::vector<ProjectItem>& list) {
        std::vector<std::pair<long long, std::string>> keys;
        for (std::string& key : ini.Keys(section))
            if (long long n = ItemNumber(key); n >= 0) keys.emplace_back(n, std::move(key));
        std::sort(keys.begin(), keys.end());
        for (const auto& [n, key] : keys) {
            const std::string stored = ToForwardSlashes(ini.Get(section, key));
            // No file is named with a NUL, and a carriage return would end
            // the line when saved: such an entry names no file.
            if (stored.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) continue;
            PathParts p = SplitPath(stored);
            if (p.base.empty() && p.ext.empty()) continue;
            ProjectItem item;
            item.name = p.base + p.ext;
            item.directory = ResolveStoredDirectory(p.drive + p.dir, directory_);
            list.push_back(std::move(item));
        }
    };
    readList("Cpps", sources_);
    readList("Hs", headers_);
    vcdFileName_ = ini.Get("Extra", "VCDFilename", Title());
    extraPreprocessor_ = ini.Get("Extra", "ExtraPrp");
    extraIncludes_ = ini.Get("Extra", "ExtraInc");
    extraLibraries_ = ini.Get("Extra", "ExtraLib");
    extraLibraryPaths_ = ini.Get("Extra", "ExtraLibPath");
    programArguments_ = ini.Get("Extra", "ProgramArgs");
    modified_ = false;
    Notify(ProjectEvent::Opened);
    return true;
}

std::string Project::FileText() const {
    IniFile ini;
    ini.Set("ProjectInfo", "Version", "1.0");
    ini.Set("ProjectInfo", "NoOfCppFiles", std::to_string(sources_.size()));
    ini.Set("ProjectInfo", "NoOfHFiles", std::to_string(headers_.size()));
    for (size_t i = 0; i < sources_.size(); ++i)
        ini.Set("Cpps", ItemKey(i), MakeRelative(sources_[i].FullPath(), directory_));
    for (size_t i = 0; i < headers_.size(); ++i)
        ini.Set("Hs", ItemKey(i), MakeRelative(headers_[i].FullPath(), directory_));
    ini.Set("Extra", "VCDFilename", vcdFileName_);
    ini.Set("Extra", "ExtraPrp", extraPreprocessor_);
    ini.Set("Extra", "ExtraInc", extraIncludes_);
    ini.Set("Extra", "ExtraLib", extraLibraries_);
    ini.Set("Extra", "ExtraLibPath", extraLibraryPaths_);
    // written only when set, so projects without arguments stay as older Korls wrote them
    if (!programArguments_.empty()) ini.Set("Extra", "ProgramArgs", programArguments_);
    return ini.Text();
}

bool Project::Save() {
    if (!modified_ || !IsOpen()) return true;
    // Another writer of this project waits until the file is complete; a
    // symbolic link keeps pointing at the project, which is written anew.
    ProjectFileLock lock(FilePath());
    if (auto saved = WriteFileAtomically(FollowLinks(FilePath()), FileText()); !saved) {
        lastError_ = saved.error().message;
        return false;
    }
    lastError_.clear();
    SetModified(false);
    return true;
}

const ProjectItem* Project::Item(ItemTag tag) const {
    const auto& list = tag.kind == ItemKind::Source ? sources_ : headers_;
    return tag.index < list.size() ? &list[tag.index] : nullptr;
}

std::optional<ItemKind> Project::KindForExistingFile(const std::string& path) {
    const std::string ext = SplitPath(path).ext;
    if (ext == ".c" || ext == ".cpp" || ext == ".cc") return ItemKind::Source;
    if (ext == ".h" || ext == ".hpp") return ItemKind::Header;
    return std::nullopt;
}

AddFilesResult Project::AddExistingFiles(const std::vector<std::string>& fullPaths) {
    AddFilesResult r;
    for (const std::string& given : fullPaths) {
        // Dialogs give absolute paths; anything else is taken from the
        // current directory so the item still names the file.
        if (char c = UnmakeableCharacter(given)) {
            r.refused.emplace_back(given, RefusalText(c));
            continue;
        }
        const std::string path = !given.empty() && given[0] == '/' ? given : AbsolutePath(given);
        std::optional<ItemKind> kind = KindForExistingFile(path);
        if (!kind) {
            r.ignored.push_back(path);
            continue;
        }
        auto& list = *kind == ItemKind::Source ? sources_ : headers_;
        ProjectItem item = ProjectItem::FromPath(path);
        if (Contains(list, item)) {
            r.duplicates.push_back(path);
            continue;
        }
        (*kind == ItemKind::Source ? r.addedSources : r.addedHeaders)
            .push_back(static_cast<uint32_t>(list.size()));
        list.push_back(std::move(item));
    }
    Notify(ProjectEvent::FilesChanged);
    SetModified(true);
    return r;
}

AddNewFileResult Project::AddNewFile(const std::string& chosenPath, int filterIndex) {
    AddNewFileResult r;
    if (char c = UnmakeableCharacter(chosenPath)) {
        r.path = chosenPath;
        r.refused = RefusalText(c);
        return r;
    }
    r.path = NewFileNameFor(
        !chosenPath.empty() && chosenPath[0] == '/' ? chosenPath : AbsolutePath(chosenPath), filterIndex);
    if (FILE* f = std::fopen(r.path.c_str(), "wb")) {
        r.created = std::fclose(f) == 0;
    }
    const std::string ext = SplitPath(r.path).ext;
    ProjectItem item = ProjectItem::FromPath(r.path);
    if (ext == ".cpp" || ext == ".h") {
        auto& list = ext == ".cpp" ? sources_ : headers_;
        r.tag =
            ItemTag{ext == ".cpp" ? ItemKind::Source : ItemKind::Header, static_cast<uint32_t>(list.size())};
        list.push_back(item);
    }
    r.displayTitle = DisplayTitle(item);
    Notify(ProjectEvent::FilesChanged);
    SetModified(true);
    return r;
}

std::optional<ProjectItem> Project::RemoveItem(ItemTag tag) {
    auto& list = tag.kind == ItemKind::Source ? sources_ : headers_;
    if (tag.index >= list.size()) return std::nullopt;
    ProjectItem removed = std::move(list[tag.index]);
    list.erase(list.begin() + tag.index);
    Notify(ProjectEvent::FilesChanged);
    SetModified(true);
    return removed;
}

std::string Project::DisplayTitle(const ProjectItem& item) const {
    return ProjectShortName(item.FullPath(), directory_);
}

bool Project::IsProjectSource(const std::string& path) const {
    for (const ProjectItem& i : sources_)
        if (i.FullPath() == path) return true;
    return false;
}

bool Project::IsProjectFile(const std::string& path) const {
    if (IsProjectSource(path)) return true;
    for (const ProjectItem& i : headers_)
        if (i.FullPath() == path) return true;
    return false;
}

std::optional<ItemTag> Project::FindItem(const std::string& fullPath) const {
    for (size_t i = 0; i < sources_.size(); ++i)
        if (sources_[i].FullPath() == fullPath) return ItemTag{ItemKind::Source, static_cast<uint32_t>(i)};
    for (size_t i = 0; i < headers_.size(); ++i)
        if (headers_[i].FullPath() == fullPath) return ItemTag{ItemKind::Header, static_cast<uint32_t>(i)};
    return std::nullopt;
}

std::string Project::NormalizeVcdFileName(const std::string& value) {
    std::string t = TrimWhitespace(value);
    size_t pos = t.rfind('\\');
    if (pos == std::string::npos) pos = t.rfind('/');
    if (pos == std::string::npos) pos = t.rfind(':');
    if (pos != std::string::npos) t.erase(0, pos + 1);
    size_t dot = t.rfind('.');
    if (dot != std::string::npos) t.erase(dot);
    return t;
}

std::string Project::RemoveBlanks(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != ' ') out += c;
    return out;
}

bool Project::SetOption(std::string& field, const std::string& value) {
    if (field == value) return false;
    field = value;
    Notify(ProjectEvent::OptionsChanged);
    SetModified(true);
    return true;
}

bool Project::SetVcdFileName(const std::string& v) {
    return SetOption(vcdFileName_, NormalizeVcdFileName(v));
}
bool Project::SetExtraPreprocessor(const std::string& v) {
    return SetOption(extraPreprocessor_, RemoveBlanks(v));
}
bool Project::SetExtraIncludes(const std::string& v) { return SetOption(extraIncludes_, TrimWhitespace(v)); }
bool Project::SetExtraLibraries(const std::string& v) { return SetOption(extraLibraries_, RemoveBlanks(v)); }
bool Project::SetExtraLibraryPaths(const std::string& v) {
    return SetOption(extraLibraryPaths_, TrimWhitespace(v));
}

bool Project::SetProgramArguments(const std::string& v) {
    return SetOption(programArguments_, TrimWhitespace(v));
}

void Project::SetModified(bool m) {
    if (modified_ == m) return;
    modified_ = m;
    Notify(ProjectEvent::ModifiedChanged);
}

int Project::AddListener(ProjectListener listener) {
    const int id = nextListenerId_++;
    listeners_.emplace_back(id, std::move(listener));
    return id;
}

void Project::RemoveListener(int id) {
    for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
        if (it->first == id) {
            listeners_.erase(it);
            return;
        }
}

void Project::Notify(ProjectEvent e) {
    ++revision_;
    // A listener may add or remove listeners while being told.
    const auto copy = listeners_;
    for (const auto& l : copy)
        if (l.second) l.second(e);
}

} // namespace korl

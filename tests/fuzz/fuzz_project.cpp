// libFuzzer target: arbitrary bytes as a project file. The INI reader and the
// project model must accept anything without crashing, and what they write
// back must read again as the same project.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "project/ini.h"
#include "project/project.h"

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string d = "/tmp/korl_fuzz_project_" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The INI layer: its own text is a fixed point.
    korl::IniFile ini;
    ini.Parse(text);
    for (const std::string& section : ini.Sections())
        for (const std::string& key : ini.Keys(section)) {
            Check(ini.Has(section, key));
            Check(ini.Get(section, key).size() <= korl::IniFile::kMaxValue);
        }
    const std::string once = ini.Text();
    korl::IniFile again;
    again.Parse(once);
    Check(again.Text() == once);

    // The project model over the same bytes as a .k1 file.
    const std::string path = ScratchDir() + "fuzz.k1";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    korl::Project project;
    project.Load(path);
    for (const auto& item : project.Sources()) project.DisplayTitle(item);
    for (const auto& item : project.Headers()) project.DisplayTitle(item);
    // What Save would write loads as the same project (same directory, so
    // relative paths resolve alike).
    const std::string written = project.FileText();
    const std::string copy = ScratchDir() + "again.k1";
    if (FILE* f = std::fopen(copy.c_str(), "wb")) {
        std::fwrite(written.data(), 1, written.size(), f);
        std::fclose(f);
        korl::Project back;
        back.Load(copy);
        Check(back.FileText() == written);
    }
    return 0;
}

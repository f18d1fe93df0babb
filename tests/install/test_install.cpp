// Installs the build into a private prefix (and packages it) and checks what a
// desktop and a user would meet: the files, the entry and file types the
// desktop reads, the programs' versions, the manual pages and the completion.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out; // standard output and error together
};

Result Shell(const std::string& command) {
    Result r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool Have(const std::string& program) { return Shell("command -v " + program + " >/dev/null").status == 0; }

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Version() { return KORL_PROJECT_VERSION; }

// Width and height from a PNG's header, or 0x0 when it is no PNG.
std::pair<int, int> PngSize(const fs::path& p) {
    const std::string d = ReadFile(p);
    if (d.size() < 24 || d.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || d.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be = [&](size_t at) {
        return int((unsigned char)d[at]) << 24 | int((unsigned char)d[at + 1]) << 16 |
               int((unsigned char)d[at + 2]) << 8 | int((unsigned char)d[at + 3]);
    };
    return {be(16), be(20)};
}

// Key/value pairs of a desktop entry's [Desktop Entry] group.
std::map<std::string, std::string> DesktopEntry(const fs::path& p) {
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadFile(p));
    std::string line, group;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') group = line;
        const size_t eq = line.find('=');
        if (group == "[Desktop Entry]" && eq != std::string::npos)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

std::set<std::string> SplitList(const std::string& s) {
    std::set<std::string> items;
    std::istringstream in(s);
    std::string item;
    while (std::getline(in, item, ';'))
        if (!item.empty()) items.insert(item);
    return items;
}

const std::vector<std::string> kIconNames = {"apps/korl", "mimetypes/application-x-korl-project",
                                             "mimetypes/application-x-korl-wave-view",
                                             "mimetypes/application-vnd.gtkwave-vcd"};
const std::vector<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// One installation per test process (CTest runs each case as its own process).
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ =
            fs::temp_directory_path() / ("korl_install_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(prefix_);
        const Result r = Shell(Quote(KORL_CMAKE_COMMAND) + " --install " + Quote(KORL_BINARY_DIR) +
                               " --component korl --prefix " + Quote(prefix_));
        ASSERT_EQ(r.status, 0) << r.out;
    }
    void TearDown() override { fs::remove_all(prefix_); }

    fs::path Path(const std::string& relative) const { return prefix_ / relative; }

    // The names bash completion offers for the words typed so far.
    std::set<std::string> Complete(const std::vector<std::string>& words, const std::string& dir = ".") {
        std::string array;
        for (const std::string& w : words) array += " " + Quote(w);
        const std::string script = "source " + Quote(Path("share/bash-completion/completions/korlc")) +
                                   "; COMP_WORDS=(" + array +
                                   "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                                   "; _korlc; printf '%s\\n' \"${COMPREPLY[@]}\"";
        const Result r = Shell("cd " + Quote(dir) + " && bash -c " + Quote(script));
        std::set<std::string> names;
        std::istringstream in(r.out);
        std::string line;
        while (std::getline(in, line))
            if (!line.empty()) names.insert(line);
        return names;
    }

    fs::path prefix_;
};

TEST_F(Installed, EveryFileInPlaceAndBothProgramsRun) {
    for (const char* program : {"bin/korl", "bin/korlc"}) {
        const fs::path p = Path(program);
        ASSERT_TRUE(fs::exists(p)) << p;
        EXPECT_NE(fs::status(p).permissions() & fs::perms::owner_exec, fs::perms::none) << p;
        const Result r = Shell(Quote(p) + " --version");
        EXPECT_EQ(r.status, 0) << p;
        EXPECT_EQ(r.out, "Korl " + Version() + "\n") << p;
    }
    for (const char* file :
         {"share/applications/korl.desktop", "share/mime/packages/korl.xml", "share/man/man1/korl.1",
          "share/man/man1/korlc.1", "share/bash-completion/completions/korlc"})
        EXPECT_TRUE(fs::is_regular_file(Path(file))) << file;
    for (const std::string& name : kIconNames) {
        EXPECT_TRUE(fs::is_regular_file(Path("share/icons/hicolor/scalable/" + name + ".svg"))) << name;
        for (int size : kIconSizes) {
            const std::string dim = std::to_string(size) + "x" + std::to_string(size);
            const fs::path png = Path("share/icons/hicolor/" + dim + "/" + name + ".png");
            EXPECT_EQ(PngSize(png), std::make_pair(size, size)) << png;
        }
    }

    // korl's help names its three forms and needs no display to say so.
    const Result help = Shell("env -u DISPLAY -u WAYLAND_DISPLAY " + Quote(Path("bin/korl")) + " --help");
    EXPECT_EQ(help.status, 0);
    for (const char* form : {"usage: korl [FILE...]", "korl --snapshot FILE.vcd -o PICTURE.png", "--version"})
        EXPECT_NE(help.out.find(form), std::string::npos) << form << "\n" << help.out;
}

TEST_F(Installed, ManualPagesRenderCleanAndListEveryKorlcCommand) {
    if (!Have("groff")) GTEST_SKIP() << "groff not installed";
    for (const char* page : {"share/man/man1/korl.1", "share/man/man1/korlc.1"}) {
        const Result r = Shell("groff -man -Tutf8 -ww -z " + Quote(Path(page)));
        EXPECT_EQ(r.status, 0) << page;
        EXPECT_EQ(r.out, "") << page;
        EXPECT_NE(ReadFile(Path(page)).find("Korl " + Version()), std::string::npos) << page;
    }
    const Result text =
        Shell("MANWIDTH=80 groff -man -Tascii -P-cbou " + Quote(Path("share/man/man1/korlc.1")));
    ASSERT_EQ(text.status, 0);
    const Result commands = Shell(Quote(Path("bin/korlc")) + " --help");
    std::smatch m;
    std::string rest = commands.out.substr(commands.out.find("commands:"));
    int count = 0;
    for (std::regex line("\n  ([a-z0-9-]+) "); std::regex_search(rest, m, line); rest = m.suffix(), ++count)
        EXPECT_NE(text.out.find("usage: korlc " + m[1].str()), std::string::npos) << m[1];
    EXPECT_GE(count, 5);
}

TEST_F(Installed, DesktopEntryValidAndOpensTheDeclaredFileTypes) {
    const fs::path desktop = Path("share/applications/korl.desktop");
    if (Have("desktop-file-validate")) {
        const Result r = Shell("desktop-file-validate " + Quote(desktop));
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out, "");
    }
    auto entry = DesktopEntry(desktop);
    EXPECT_EQ(entry["Name"], "Korl");
    EXPECT_EQ(entry["Exec"], "korl %F");
    EXPECT_EQ(entry["Icon"], "korl");
    const auto categories = SplitList(entry["Categories"]);
    EXPECT_TRUE(categories.count("Development") && categories.count("Electronics")) << entry["Categories"];

    // The MIME XML is well formed, names the three types and the desktop
    // database accepts it; every type the entry opens is among them.
    const fs::path xml = Path("share/mime/packages/korl.xml");
    if (Have("xmllint")) {
        EXPECT_EQ(Shell("xmllint --noout " + Quote(xml)).status, 0);
    }
    const std::string text = ReadFile(xml);
    std::set<std::string> declared;
    std::smatch m;
    for (std::string rest = text; std::regex_search(rest, m, std::regex("<mime-type type=\"([^\"]+)\""));
         rest = m.suffix())
        declared.insert(m[1]);
    EXPECT_EQ(declared, (std::set<std::string>{"application/x-korl-project", "application/x-korl-wave-view",
                                               "application/vnd.gtkwave-vcd"}));
    for (const std::string& type : SplitList(entry["MimeType"])) EXPECT_TRUE(declared.count(type)) << type;
    EXPECT_TRUE(SplitList(entry["MimeType"]).count("application/x-korl-project"));
    EXPECT_TRUE(SplitList(entry["MimeType"]).count("application/vnd.gtkwave-vcd"));

    // The install refreshed the prefix's MIME database: each pattern maps to its type.
    if (Have("update-mime-database")) {
        const std::string globs = ReadFile(Path("share/mime/globs2"));
        for (const char* line : {"application/x-korl-project:*.k1", "application/x-korl-wave-view:*.wvw",
                                 "application/vnd.gtkwave-vcd:*.vcd"})
            EXPECT_NE(globs.find(line), std::string::npos) << line << "\n" << globs;
    }
}

TEST_F(Installed, BashCompletionOffersCommandsOptionsAndFittingFiles) {
    EXPECT_EQ(Complete({Path("bin/korlc").string(), "el"}), std::set<std::string>{"elaborate"});
    EXPECT_EQ(Complete({Path("bin/korlc").string(), "--v"}), std::set<std::string>{"--version"});
    const auto all = Complete({Path("bin/korlc").string(), ""});
    for (const char* c : {"build", "elaborate", "new", "vcd2wvw", "wvw"}) EXPECT_TRUE(all.count(c)) << c;

    const fs::path dir = prefix_ / "work";
    fs::create_directories(dir / "rtl");
    for (const char* f : {"a.k1", "b.vcd", "c.wvw", "main.cpp"}) std::ofstream(dir / f) << "\n";
    const std::string korlc = Path("bin/korlc").string();
    EXPECT_EQ(Complete({korlc, "elaborate", "--"}, dir),
              (std::set<std::string>{"--help", "--no-build", "--report", "--jumps"}));
    EXPECT_EQ(Complete({korlc, "build", ""}, dir), (std::set<std::string>{"a.k1", "rtl"}));
    EXPECT_EQ(Complete({korlc, "new", ""}, dir), (std::set<std::string>{"a.k1", "rtl"})); // PROJECT[.k1]
    EXPECT_EQ(Complete({korlc, "vcd2wvw", ""}, dir), (std::set<std::string>{"b.vcd", "rtl"}));
    EXPECT_EQ(Complete({korlc, "vcd2wvw", "b.vcd", "-o", ""}, dir), (std::set<std::string>{"c.wvw", "rtl"}));
    EXPECT_EQ(Complete({korlc, "wvw", "c.wvw", "--at", "5", "--radix", ""}, dir),
              (std::set<std::string>{"b", "o", "h", "u", "s"}));
    // After the project, add takes any number of files of any kind.
    EXPECT_EQ(Complete({korlc, "add", "a.k1", "main.cpp", "m"}, dir), std::set<std::string>{"main.cpp"});
    EXPECT_TRUE(Complete({korlc, "set", "a.k1", "Extra"}, dir).count("ExtraInc"));
    EXPECT_TRUE(Complete({korlc, "build", "a.k1", ""}, dir).empty());
}

TEST(DebianPackage, DependsOnTheRuntimeAndHoldsTheInstalledTree) {
    if (!Have("dpkg-deb")) GTEST_SKIP() << "dpkg-deb not installed";
    const fs::path dir = fs::temp_directory_path() / ("korl_deb_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const Result pack = Shell("cd " + Quote(KORL_BINARY_DIR) + " && " + Quote(KORL_CPACK_COMMAND) +
                              " -G DEB -B " + Quote(dir) + " --config CPackConfig.cmake");
    ASSERT_EQ(pack.status, 0) << pack.out;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".deb") deb = e.path();
    ASSERT_FALSE(deb.empty()) << pack.out;
    EXPECT_EQ(deb.filename().string().rfind("korl_" + Version() + "_", 0), 0u) << deb;

    const Result info = Shell("dpkg-deb --info " + Quote(deb));
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("Package: korl\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Version: " + Version() + "\n"), std::string::npos) << info.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info.out, m, std::regex("\n Depends: ([^\n]*)"))) << info.out;
    std::set<std::string> depends;
    for (std::string rest = m[1].str(); std::regex_search(rest, m, std::regex("([a-z0-9.+-]+)[^,]*(, )?"));
         rest = m.suffix())
        depends.insert(m[1]);
    for (const char* p : {"libqt6widgets6", "libqt6printsupport6", "libqscintilla2-qt6-15", "make", "g++",
                          "gdb", "libsystemc-dev", "pkg-config"})
        EXPECT_TRUE(depends.count(p)) << p << " missing from Depends";

    const Result contents = Shell("dpkg-deb --contents " + Quote(deb));
    ASSERT_EQ(contents.status, 0) << contents.out;
    for (const char* f :
         {"./usr/bin/korl\n", "./usr/bin/korlc\n", "./usr/share/applications/korl.desktop\n",
          "./usr/share/mime/packages/korl.xml\n", "./usr/share/icons/hicolor/scalable/apps/korl.svg\n",
          "./usr/share/icons/hicolor/48x48/apps/korl.png\n", "./usr/share/man/man1/korl.1\n",
          "./usr/share/man/man1/korlc.1\n", "./usr/share/bash-completion/completions/korlc\n"})
        EXPECT_NE(contents.out.find(f), std::string::npos) << f;
    // The desktop's caches are built on the user's machine by dpkg, never shipped.
    EXPECT_EQ(contents.out.find("/share/mime/globs"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace

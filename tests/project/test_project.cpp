#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "project/paths.h"
#include "project/project.h"
#include "test_util.h"

using namespace korl;
using korltest::ReadFile;
using korltest::TempDir;
using korltest::WriteFile;

namespace {

std::vector<std::string> Paths(const std::vector<ProjectItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(i.FullPath());
    return out;
}

} // namespace

TEST(Project, NewProjectWritesTheFileAtOnce) {
    TempDir dir;
    Project p;
    ASSERT_TRUE(p.NewProject(dir / "design"));
    EXPECT_EQ(p.FileName(), "design.k1");
    EXPECT_EQ(p.Title(), "design");
    EXPECT_EQ(p.Directory(), dir.path());
    EXPECT_FALSE(p.IsModified());
    EXPECT_EQ(ReadFile(dir / "design.k1"),
              "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=0\nNoOfHFiles=0\n"
              "[Extra]\nVCDFilename=design\nExtraPrp=\nExtraInc=\nExtraLib=\nExtraLibPath=\n");
    EXPECT_EQ(Project::ProjectFileNameFor("/x/a.k1"), "/x/a.k1");
    EXPECT_EQ(Project::ProjectFileNameFor("/x/a.k1.bak"), "/x/a.k1.bak");
    Project q;
    q.Load(dir / "design.k1");
    EXPECT_EQ(q.Title(), "design");
}

TEST(Project, LoadsAWindowsFileAndSavesItBack) {
    TempDir dir;
    WriteFile(
        dir / "counter/counter.k1",
        "[ProjectInfo]\r\nVersion=1.0\r\nNoOfCppFiles=2\r\nNoOfHFiles=1\r\n"
        "[Cpps]\r\nItem0=main.cpp\r\nItem1=counter.cpp\r\n"
        "[Hs]\r\nItem0=..\\common\\counter.h\r\n"
        "[Extra]\r\nVCDFilename=counter\r\nExtraPrp=NDEBUG\r\nExtraInc=\r\nExtraLib=\r\nExtraLibPath=\r\n");
    Project p;
    ASSERT_TRUE(p.Load(dir / "counter/../counter/counter.k1"));
    EXPECT_EQ(p.Directory(), dir / "counter/");
    EXPECT_EQ(Paths(p.Sources()),
              (std::vector<std::string>{dir / "counter/main.cpp", dir / "counter/counter.cpp"}));
    EXPECT_EQ(Paths(p.Headers()), (std::vector<std::string>{dir / "common/counter.h"}));
    EXPECT_EQ(p.ExtraPreprocessor(), "NDEBUG");
    EXPECT_FALSE(p.IsModified());
    EXPECT_TRUE(p.IsProjectSource(dir / "counter/main.cpp"));
    EXPECT_FALSE(p.IsProjectSource(dir / "common/counter.h"));
    EXPECT_TRUE(p.IsProjectFile(dir / "common/counter.h"));
    EXPECT_FALSE(p.IsProjectFile(dir / "counter/Main.cpp"));
    EXPECT_EQ(p.DisplayTitle(p.Sources()[0]), "main.cpp");
    EXPECT_EQ(p.DisplayTitle(p.Headers()[0]), dir / "common/counter.h");

    p.SetExtraLibraries("libm.a");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(ReadFile(dir / "counter/counter.k1"),
              "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=2\nNoOfHFiles=1\n"
              "[Cpps]\nItem0=main.cpp\nItem1=counter.cpp\n"
              "[Hs]\nItem0=../common/counter.h\n"
              "[Extra]\nVCDFilename=counter\nExtraPrp=NDEBUG\nExtraInc=\nExtraLib=libm.a\nExtraLibPath=\n");
}

TEST(Project, MissingUnreadableOrGarbageFilesAreRefusedAndLeaveTheOpenProject) {
    TempDir dir;
    Project p;
    ASSERT_TRUE(p.NewProject(dir / "open.k1"));
    auto refused = [&](const std::string& path, const std::string& reason) {
        EXPECT_FALSE(p.Load(path)) << path;
        EXPECT_EQ(p.LastError(), "cannot open project file " + path + ": " + reason);
        EXPECT_EQ(p.FileName(), "open.k1"); // still the project that was open
    };
    refused(dir / "gone.k1", "No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(dir / "gone.k1")); // never created
    static const char kElf[] =
        "\x7f"
        "ELF\x02\x01\x01\0\0\0binary";
    WriteFile(dir / "garbage.k1", std::string(kElf, sizeof kElf - 1));
    refused(dir / "garbage.k1", "not a Korl project file (no [ProjectInfo] section)");
    WriteFile(dir / "empty.k1", "");
    refused(dir / "empty.k1", "not a Korl project file (no [ProjectInfo] section)");
    std::filesystem::create_directory(dir / "dir.k1");
    refused(dir / "dir.k1", "it is a directory");
    if (::geteuid() != 0) { // root reads anything
        WriteFile(dir / "locked.k1", "[ProjectInfo]\nVersion=1.0\n");
        ::chmod((dir / "locked.k1").c_str(), 0);
        refused(dir / "locked.k1", "Permission denied");
    }
}

TEST(Project, ItemsPresentAreReadWhateverTheCountsSay) {
    TempDir dir;
    Project p;
    // Counts larger than the items (no phantom entries), smaller than them
    // (nothing lost), a gap, a value cut at 255, a negative count.
    WriteFile(dir / "bad.k1",
              "[ProjectInfo]\nNoOfCppFiles=7\nNoOfHFiles=-5\n[Cpps]\nItem0=" + std::string(400, 'a') +
                  ".cpp\nItem3=c.cpp\nitem1=b.cpp\nItem2=\n"
                  "[Hs]\nItem0=x.h\nItem1=y.h\n[Extra]\nVCDFilename=\n");
    ASSERT_TRUE(p.Load(dir / "bad.k1"));
    ASSERT_EQ(p.Sources().size(), 3u);
    EXPECT_EQ(p.Sources()[0].name, std::string(255, 'a'));
    EXPECT_EQ(p.Sources()[1].name, "b.cpp");
    EXPECT_EQ(p.Sources()[2].name, "c.cpp");
    EXPECT_EQ(p.Headers().size(), 2u);
    EXPECT_EQ(p.VcdFileName(), "");
    // Saved, the counts and the numbering match the items.
    p.SetExtraPreprocessor("X");
    ASSERT_TRUE(p.Save());
    const std::string text = ReadFile(dir / "bad.k1");
    EXPECT_NE(text.find("NoOfCppFiles=3\nNoOfHFiles=2\n[Cpps]\nItem0=" + std::string(255, 'a') +
                        "\nItem1=b.cpp\nItem2=c.cpp\n[Hs]\nItem0=x.h\nItem1=y.h\n"),
              std::string::npos)
        << text;

    // An entry with a NUL or a carriage return inside names no file and is
    // skipped, so what is saved reads back the same.
    const char ctl[] =
        "[ProjectInfo]\nVersion=1.0\n[Cpps]\nItem0=a.cpp\nItem1=C:\\\r\0\0x\\y.cpp\nItem2=b\0c.cpp\nItem3=d."
        "cpp\n";
    WriteFile(dir / "ctl.k1", std::string(ctl, sizeof ctl - 1));
    ASSERT_TRUE(p.Load(dir / "ctl.k1"));
    EXPECT_EQ(Paths(p.Sources()), (std::vector<std::string>{dir / "a.cpp", dir / "d.cpp"}));

    WriteFile(dir / "huge.k1", "[ProjectInfo]\nNoOfCppFiles=99999999999999999999\nNoOfHFiles=2147483647\n");
    ASSERT_TRUE(p.Load(dir / "huge.k1"));
    EXPECT_TRUE(p.Sources().empty());
    EXPECT_TRUE(p.Headers().empty());
}

TEST(Project, HundredThousandItemsAreAllKept) {
    TempDir dir;
    std::string text = "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=100000\nNoOfHFiles=0\n[Cpps]\n";
    for (int i = 0; i < 100000; ++i) text += "Item" + std::to_string(i) + "=s" + std::to_string(i) + ".cpp\n";
    WriteFile(dir / "big.k1", text);
    Project p;
    ASSERT_TRUE(p.Load(dir / "big.k1"));
    ASSERT_EQ(p.Sources().size(), 100000u);
    EXPECT_EQ(p.Sources()[99999].name, "s99999.cpp");
    p.SetExtraPreprocessor("X");
    ASSERT_TRUE(p.Save());
    Project q;
    ASSERT_TRUE(q.Load(dir / "big.k1"));
    EXPECT_EQ(q.Sources().size(), 100000u);
}

TEST(Project, AddExistingFilesSortsByExtensionAndSkipsDuplicates) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    AddFilesResult r = p.AddExistingFiles({dir / "top.cpp", dir / "lib/util.c", dir / "x.cc", dir / "top.h",
                                           dir / "t.hpp", dir / "X.CPP", dir / "notes.txt", dir / "top.cpp"});
    EXPECT_EQ(Paths(p.Sources()),
              (std::vector<std::string>{dir / "top.cpp", dir / "lib/util.c", dir / "x.cc"}));
    EXPECT_EQ(Paths(p.Headers()), (std::vector<std::string>{dir / "top.h", dir / "t.hpp"}));
    EXPECT_EQ(r.addedSources, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(r.addedHeaders, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(r.ignored, (std::vector<std::string>{dir / "X.CPP", dir / "notes.txt"}));
    EXPECT_EQ(r.duplicates, (std::vector<std::string>{dir / "top.cpp"}));
    EXPECT_TRUE(p.IsModified());

    // A relative name is taken from the current directory.
    r = p.AddExistingFiles({"rel/x.h"});
    EXPECT_EQ(p.Headers().back().FullPath(), AbsolutePath("rel/x.h"));

    p.Save();
    r = p.AddExistingFiles({dir / "top.cpp"});
    EXPECT_TRUE(r.addedSources.empty());
    EXPECT_TRUE(p.IsModified()); // the dialog was confirmed
}

TEST(Project, AddNewFileCompletesTheNameAndCreatesTheFile) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    AddNewFileResult r = p.AddNewFile(dir / "top", 1);
    EXPECT_EQ(r.path, dir / "top.h");
    EXPECT_TRUE(r.created);
    ASSERT_TRUE(r.tag.has_value());
    EXPECT_EQ(*r.tag, (ItemTag{ItemKind::Header, 0}));
    EXPECT_EQ(r.displayTitle, "top.h");

    WriteFile(dir / "sub/old.cpp", "int x;\n");
    r = p.AddNewFile(dir / "sub/old.cpp", 1); // name kept, file emptied
    EXPECT_EQ(r.path, dir / "sub/old.cpp");
    EXPECT_EQ(ReadFile(dir / "sub/old.cpp"), "");
    EXPECT_EQ(r.displayTitle, dir / "sub/old.cpp");

    r = p.AddNewFile(dir / "top.hpp", 0);
    EXPECT_TRUE(r.created);
    EXPECT_FALSE(r.tag.has_value());
    EXPECT_TRUE(std::filesystem::exists(dir / "top.hpp"));

    r = p.AddNewFile(dir / "nodir/x", 0); // cannot be created: added all the same
    EXPECT_FALSE(r.created);
    EXPECT_EQ(Paths(p.Sources()), (std::vector<std::string>{dir / "sub/old.cpp", dir / "nodir/x.cpp"}));
    EXPECT_EQ(p.Headers().size(), 1u);
}

TEST(Project, RemoveRenumbersAndSavesConsecutiveItems) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    p.AddExistingFiles({dir / "one.cpp", dir / "two.cpp", dir / "three.cpp"});
    std::optional<ProjectItem> gone = p.RemoveItem({ItemKind::Source, 0});
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->name, "one.cpp");
    EXPECT_FALSE(p.RemoveItem({ItemKind::Source, 2}).has_value());
    EXPECT_FALSE(p.RemoveItem({ItemKind::Header, 0}).has_value());
    EXPECT_EQ(p.Item({ItemKind::Source, 1})->name, "three.cpp");
    EXPECT_EQ(p.FindItem(dir / "three.cpp"), (ItemTag{ItemKind::Source, 1}));
    ASSERT_TRUE(p.Save());
    EXPECT_NE(ReadFile(dir / "a.k1")
                  .find("NoOfCppFiles=2\nNoOfHFiles=0\n[Cpps]\nItem0=two.cpp\nItem1=three.cpp\n[Extra]"),
              std::string::npos);
}

TEST(Project, SaveOnlyWhenModifiedAndNeverLosesTheOldFile) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    WriteFile(dir / "a.k1", "hand edited\n");
    EXPECT_TRUE(p.Save()); // clean: file untouched
    EXPECT_EQ(ReadFile(dir / "a.k1"), "hand edited\n");

    // The project file path turned into a directory: the save fails, the
    // project stays modified and the directory is left alone.
    std::filesystem::remove(dir / "a.k1");
    std::filesystem::create_directories(dir / "a.k1/keep");
    p.SetExtraIncludes("inc");
    EXPECT_FALSE(p.Save());
    EXPECT_TRUE(p.IsModified());
    EXPECT_FALSE(p.LastError().empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a.k1/keep"));
}

TEST(Project, CloseAsksThroughThePrompt) {
    TempDir dir;
    Project p;
    std::vector<std::pair<std::string, PromptButtons>> asked;
    PromptAnswer answer = PromptAnswer::Cancel;
    p.SetClosePrompt([&](const std::string& text, PromptButtons b) {
        asked.emplace_back(text, b);
        return answer;
    });
    p.NewProject(dir / "counter.k1");
    EXPECT_TRUE(asked.empty()); // nothing was open
    p.SetExtraPreprocessor("A");

    EXPECT_FALSE(p.Close(PromptButtons::YesNoCancel));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, "counter has been modified. Save it?");
    EXPECT_EQ(asked[0].second, PromptButtons::YesNoCancel);
    EXPECT_TRUE(p.IsOpen());
    EXPECT_EQ(p.ExtraPreprocessor(), "A");

    answer = PromptAnswer::No;
    EXPECT_TRUE(p.Close(PromptButtons::YesNo));
    EXPECT_FALSE(p.IsOpen());
    EXPECT_EQ(p.Directory(), "");
    EXPECT_EQ(p.ExtraPreprocessor(), "");
    p.Load(dir / "counter.k1");
    EXPECT_EQ(p.ExtraPreprocessor(), ""); // not saved

    p.SetExtraPreprocessor("B");
    answer = PromptAnswer::Yes;
    asked.clear();
    p.Load(dir / "counter.k1"); // closes with Yes/No first
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].second, PromptButtons::YesNo);
    EXPECT_EQ(p.ExtraPreprocessor(), "B");

    asked.clear();
    EXPECT_TRUE(p.Close(PromptButtons::YesNoCancel)); // clean: no question
    EXPECT_TRUE(asked.empty());
}

TEST(Project, OptionSettersNormaliseAndMarkOnlyRealChanges) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    EXPECT_FALSE(p.SetVcdFileName("a"));
    EXPECT_FALSE(p.IsModified());
    EXPECT_FALSE(p.SetExtraPreprocessor("   ")); // normalises to the stored ""
    EXPECT_FALSE(p.IsModified());

    EXPECT_TRUE(p.SetExtraPreprocessor(" a , b "));
    EXPECT_EQ(p.ExtraPreprocessor(), "a,b");
    EXPECT_TRUE(p.IsModified());
    EXPECT_TRUE(p.SetExtraIncludes("  C:/my inc,D:/x \t"));
    EXPECT_EQ(p.ExtraIncludes(), "C:/my inc,D:/x");
    EXPECT_TRUE(p.SetExtraLibraries("libfoo.a, util.o"));
    EXPECT_EQ(p.ExtraLibraries(), "libfoo.a,util.o");
    EXPECT_TRUE(p.SetExtraLibraryPaths(" /opt/my lib "));
    EXPECT_EQ(p.ExtraLibraryPaths(), "/opt/my lib");

    EXPECT_EQ(Project::NormalizeVcdFileName(" C:\\sim\\trace.vcd "), "trace");
    EXPECT_EQ(Project::NormalizeVcdFileName("/tmp/run.1.vcd"), "run.1");
    EXPECT_EQ(Project::NormalizeVcdFileName("D:wave"), "wave");
    EXPECT_EQ(Project::NormalizeVcdFileName("x/y\\z.vcd"), "z");
    EXPECT_TRUE(p.SetVcdFileName(""));
    EXPECT_EQ(p.VcdFileName(), "");

    p.Save();
    Project q;
    q.Load(dir / "a.k1");
    EXPECT_EQ(q.ExtraIncludes(), "C:/my inc,D:/x");
    EXPECT_EQ(q.VcdFileName(), ""); // stored empty, not the title
}

TEST(Project, ListenersSeeEveryChange) {
    TempDir dir;
    Project p;
    std::vector<ProjectEvent> seen;
    int id = p.AddListener([&](ProjectEvent e) { seen.push_back(e); });
    p.NewProject(dir / "a.k1");
    EXPECT_EQ(seen, (std::vector<ProjectEvent>{ProjectEvent::Opened, ProjectEvent::ModifiedChanged}));
    seen.clear();
    const uint64_t rev = p.Revision();
    p.AddExistingFiles({dir / "m.cpp"});
    p.SetExtraIncludes("x");
    EXPECT_EQ(seen, (std::vector<ProjectEvent>{ProjectEvent::FilesChanged, ProjectEvent::ModifiedChanged,
                                               ProjectEvent::OptionsChanged}));
    EXPECT_GT(p.Revision(), rev);
    seen.clear();
    p.Close(PromptButtons::YesNo);
    EXPECT_EQ(seen, (std::vector<ProjectEvent>{ProjectEvent::Closed}));
    p.RemoveListener(id);
    p.NewProject(dir / "b.k1");
    EXPECT_EQ(seen.size(), 1u);
}

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "project/ini.h"
#include "test_util.h"

using namespace korl;

TEST(Ini, LookupFollowsPrivateProfileRules) {
    IniFile ini;
    ini.Parse(
        "\xEF\xBB\xBF"
        "orphan=1\r\n"
        "[ProjectInfo]\r\n"
        "  Version = 1.0  \r\n"
        "NoOfCppFiles=2\r\n"
        "noofcppfiles=9\r\n"
        "; a comment line\r\n"
        "garbage line\r\n"
        "[Cpps]\r\n"
        "Item0=\"quoted value\"\r\n"
        "Item1=..\\common\\x.cpp\r\n"
        "[projectinfo]\r\n"
        "NoOfHFiles=3\r\n"
        "[Extra");
    EXPECT_EQ(ini.Get("ProjectInfo", "Version"), "1.0");
    EXPECT_EQ(ini.Get("PROJECTINFO", "noofcppfiles"), "2"); // first one wins, case ignored
    EXPECT_EQ(ini.Get("ProjectInfo", "NoOfHFiles"), "3");   // section continued later
    EXPECT_EQ(ini.Get("Cpps", "Item0"), "quoted value");
    EXPECT_EQ(ini.Get("Cpps", "Item1"), "..\\common\\x.cpp");
    EXPECT_EQ(ini.Get("Cpps", "Item2", "dflt"), "dflt");
    EXPECT_EQ(ini.Get("None", "orphan", "0"), "0");
    EXPECT_TRUE(ini.Has("Extra", "x") == false);
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"ProjectInfo", "Cpps", "Extra"}));
}

TEST(Ini, ValuesAndDefaultsAreCutAt255) {
    IniFile ini;
    const std::string longValue(1000, 'v');
    ini.Parse("[S]\nk=" + longValue + "\n");
    EXPECT_EQ(ini.Get("S", "k"), std::string(255, 'v'));
    EXPECT_EQ(ini.Get("S", "missing", longValue).size(), 255u);
    ini.Parse("[S]\nk=" + std::string(300000, 'w')); // one huge line
    EXPECT_EQ(ini.Get("S", "k").size(), 255u);
}

TEST(Ini, WritesInFirstWrittenOrderAndReplacesInPlace) {
    IniFile ini;
    ini.Set("B", "x", "1");
    ini.Set("A", "y", "2");
    ini.Set("B", "z", "3");
    ini.Set("b", "X", "4");
    ini.Set("A", "w", "line\nbreak");
    EXPECT_EQ(ini.Text(), "[B]\nx=4\nz=3\n[A]\ny=2\nw=line\n");
    IniFile back;
    back.Parse(ini.Text());
    EXPECT_EQ(back.Keys("B"), (std::vector<std::string>{"x", "z"}));
}

TEST(Ini, ValuesThatReadingWouldChangeAreWrittenQuoted) {
    IniFile ini;
    ini.Parse("[S]\na=\"name \"\nb= plain \nc='\"x\"'\nd=\"\n");
    EXPECT_EQ(ini.Get("S", "a"), "name ");
    EXPECT_EQ(ini.Get("S", "c"), "\"x\"");
    ini.Set("S", "e", "\tlead");
    EXPECT_EQ(ini.Text(), "[S]\na=\"name \"\nb=plain\nc=\"\"x\"\"\nd=\"\ne=\"\tlead\"\n");
    IniFile back;
    back.Parse(ini.Text());
    for (const char* key : {"a", "b", "c", "d", "e"}) EXPECT_EQ(back.Get("S", key), ini.Get("S", key)) << key;
    EXPECT_EQ(back.Text(), ini.Text());
}

TEST(Ini, MissingFileLoadsEmpty) {
    korltest::TempDir dir;
    IniFile ini;
    EXPECT_FALSE(ini.Load(dir / "nope.k1"));
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_FALSE(ini.Load(dir.path())); // a directory
    ASSERT_EQ(mkfifo((dir / "fifo.k1").c_str(), 0600), 0);
    EXPECT_FALSE(ini.Load(dir / "fifo.k1")); // would block
    korltest::WriteFile(dir / "a.ini", "[S]\nk=v\n");
    EXPECT_TRUE(ini.Load(dir / "a.ini"));
    EXPECT_EQ(ini.Get("S", "k"), "v");

    // Too large is refused with a reason, never read in part.
    std::string why;
    korltest::WriteFile(dir / "big.ini", "[S]\nk=v\n");
    ASSERT_EQ(truncate((dir / "big.ini").c_str(), IniFile::kMaxFileBytes + 1), 0);
    EXPECT_FALSE(ini.Load(dir / "big.ini", &why));
    EXPECT_EQ(why, "larger than 64 MiB");
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_FALSE(ini.Load(dir / "nope.k1", &why));
    EXPECT_EQ(why, "No such file or directory");
}

TEST(Ini, RepeatedKeysKeepTheFirstAndLookupsIgnoreCase) {
    IniFile ini;
    std::string text = "[A]\n";
    for (int i = 0; i < 1000; ++i) text += "Key" + std::to_string(i % 500) + "=" + std::to_string(i) + "\n";
    text += "[a]\nkey0=late\n";
    ini.Parse(text);
    EXPECT_EQ(ini.Keys("A").size(), 500u);
    EXPECT_EQ(ini.Get("a", "KEY0"), "0");
    EXPECT_EQ(ini.Get("A", "key499"), "499");
    ini.Set("A", "KEY1", "changed");
    ini.Set("B", "new\nline", "v\nw");
    EXPECT_EQ(ini.Get("A", "Key1"), "changed");
    EXPECT_EQ(ini.Keys("B"), (std::vector<std::string>{"new"}));
    EXPECT_EQ(ini.Get("B", "new"), "v");
}

// The machine-interface parser on recorded transcripts and on the syntax's
// corners: escapes, nesting, tokens, and input that is no record at all.
#include "debugger/mi_parser.h"
#include "debugger/stop_record.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace korl {
namespace {

const std::string kData = std::string(KORL_SOURCE_DIR) + "/tests/debugger/data/";

TEST(MiParserTest, EveryRecordOfTheRecordedTranscriptsParses) {
    int records = 0, stacks = 0;
    for (const char* name :
         {"session.txt", "crash.txt", "blank_path.txt", "missing_program.txt", "console_tty.txt"}) {
        std::ifstream in(kData + name);
        ASSERT_TRUE(in) << name;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("< ", 0) != 0) continue;
            std::string text = line.substr(2);
            if (text.empty() || std::string("^*=~&@(").find(text[0]) == std::string::npos) continue;
            MiRecord r;
            std::string error;
            EXPECT_TRUE(ParseMiRecord(text, r, &error)) << name << ": " << text << "\n" << error;
            ++records;
            if (r.type == MiRecord::Type::Result && r.results.Find("stack")) {
                ++stacks;
                EXPECT_FALSE(FramesFrom(r.results, "/tmp").empty()) << text;
            }
        }
    }
    EXPECT_GT(records, 200);
    EXPECT_GT(stacks, 0);
}

TEST(MiParserTest, TypedValuesEscapesNestingAndTokens) {
    MiRecord r;
    ASSERT_TRUE(ParseMiRecord(R"(~"a\tb\n\"q\"\\\101\x41\e")", r));
    EXPECT_EQ(r.type, MiRecord::Type::Console);
    EXPECT_EQ(r.stream, "a\tb\n\"q\"\\AA\x1b");

    ASSERT_TRUE(
        ParseMiRecord("12^done,a={b=[{c=\"1\"},{c=\"2\"}],d=[]},e=[\"x\",\"y\"],f=[g=\"3\",g=\"4\"]\r\n", r));
    EXPECT_EQ(r.token, 12);
    EXPECT_EQ(r.type, MiRecord::Type::Result);
    EXPECT_EQ(r.cls, "done");
    const MiValue* a = r.results.Find("a");
    ASSERT_TRUE(a && a->kind == MiValue::Kind::Tuple);
    const MiValue* b = a->Find("b");
    ASSERT_TRUE(b && b->kind == MiValue::Kind::List);
    ASSERT_EQ(b->items.size(), 2u);
    EXPECT_EQ(b->items[1].second.Str("c"), "2");
    EXPECT_TRUE(a->Find("d")->items.empty());
    EXPECT_EQ(r.results.Find("e")->items[1].second.text, "y");
    EXPECT_EQ(r.results.Find("f")->items[1].first, "g");
    EXPECT_EQ(r.results.Num("missing", -7), -7);
    EXPECT_EQ(r.results.Str("a", "not a string"), "not a string");

    ASSERT_TRUE(ParseMiRecord("*stopped,reason=\"exited-normally\"", r));
    EXPECT_EQ(r.type, MiRecord::Type::Exec);
    EXPECT_EQ(r.token, -1);
    ASSERT_TRUE(ParseMiRecord("(gdb) ", r));
    EXPECT_EQ(r.type, MiRecord::Type::Prompt);
    ASSERT_TRUE(ParseMiRecord("^running", r));
    EXPECT_EQ(r.cls, "running");
    EXPECT_TRUE(r.results.items.empty());
}

TEST(MiParserTest, MalformedInputGivesAMessageNeverACrash) {
    MiRecord r;
    std::string error;
    for (const char* bad : {"^done,a={", "^done,a=\"open", "^done,=\"x\"", "^done,a=x", "^done,a=\"1\"junk",
                            "~\"no end", "!what", "", "^", "5", "^done,a=[b=\"1\",", "~\"x\\"}) {
        error.clear();
        EXPECT_FALSE(ParseMiRecord(bad, r, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string deep = "^done,a=" + std::string(100000, '{');
    EXPECT_FALSE(ParseMiRecord(deep, r, &error));
    std::string deepList = "^done,a=" + std::string(100000, '[');
    EXPECT_FALSE(ParseMiRecord(deepList, r, &error));
    // a huge value passes whole
    std::string big(2 * 1024 * 1024, 'v');
    ASSERT_TRUE(ParseMiRecord("^done,value=\"" + big + "\"", r));
    EXPECT_EQ(r.results.Str("value").size(), big.size());
}

} // namespace
} // namespace korl

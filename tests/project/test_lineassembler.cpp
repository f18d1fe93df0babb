#include <gtest/gtest.h>

#include "project/lineassembler.h"

using korl::LineAssembler;

TEST(LineAssembler, TabsCarriageReturnsAndLineFeeds) {
    LineAssembler a;
    EXPECT_EQ(a.feed("a\tb\r\n"), (std::vector<std::string>{"a       b"}));
    // A tab at a multiple of eight gives a full eight blanks; one just before
    // it gives one.
    EXPECT_EQ(a.feed("12345678\tx\n1234567\ty\n\tz\n"),
              (std::vector<std::string>{"12345678        x", "1234567 y", "        z"}));
    EXPECT_EQ(a.feed("\n\r\n"), (std::vector<std::string>{"", ""}));
}

TEST(LineAssembler, LinesSplitAcrossReadsAndUnterminatedLastLine) {
    LineAssembler a;
    EXPECT_TRUE(a.feed("make: 'cou").empty());
    EXPECT_TRUE(a.feed("nter' is up").empty());
    EXPECT_EQ(a.feed(" to date.\nlast line without end"),
              (std::vector<std::string>{"make: 'counter' is up to date."}));
    EXPECT_EQ(a.pendingLength(), 21u);
    a.reset(); // the child ended: the partial line is never delivered
    EXPECT_EQ(a.pendingLength(), 0u);
    EXPECT_EQ(a.feed("next\n"), (std::vector<std::string>{"next"}));
}

TEST(LineAssembler, LongLinesAreCutAndStayOneLine) {
    LineAssembler a(16);
    EXPECT_EQ(a.feed("0123456789abcdefOVERFLOW error: x\nok\n"),
              (std::vector<std::string>{"0123456789abcdef", "ok"}));
    // A tab that would cross the bound fills only up to it.
    EXPECT_EQ(a.feed("0123456789abc\tzz\n"), (std::vector<std::string>{"0123456789abc   "}));

    // A megabyte without line feed, fed in pieces, costs no more than the bound.
    LineAssembler big;
    std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(big.feed(chunk).empty());
    EXPECT_EQ(big.pendingLength(), LineAssembler::kDefaultMaxLength);
    auto lines = big.feed("tail\nnext\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(LineAssembler::kDefaultMaxLength, 'x'));
    EXPECT_EQ(lines[1], "next");
}

#include <gtest/gtest.h>

#include "base/short_name.h"

using korl::ProjectShortName;

TEST(ShortName, NameAloneOnlyDirectlyInProjectDirectory) {
    EXPECT_EQ(ProjectShortName("/w/p/main.cpp", "/w/p/"), "main.cpp");
    EXPECT_EQ(ProjectShortName("/w/p/main.cpp", "/w/p"), "main.cpp");
    EXPECT_EQ(ProjectShortName("/w/p/sub/main.cpp", "/w/p/"), "/w/p/sub/main.cpp");
    EXPECT_EQ(ProjectShortName("/w/pq/main.cpp", "/w/p/"), "/w/pq/main.cpp");
    EXPECT_EQ(ProjectShortName("/w/main.cpp", "/w/p/"), "/w/main.cpp");
    EXPECT_EQ(ProjectShortName("/top.cpp", "/"), "top.cpp");
    // No project: every file keeps its full path.
    EXPECT_EQ(ProjectShortName("/top.cpp", ""), "/top.cpp");
    EXPECT_EQ(ProjectShortName("main.cpp", "/w/p/"), "main.cpp");
}

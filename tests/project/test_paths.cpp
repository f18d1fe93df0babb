#include <gtest/gtest.h>

#include <sys/stat.h>

#include "project/paths.h"
#include "test_util.h"

using namespace korl;

TEST(MakeRelative, WindowsDriveExamples) {
    const std::string base = "C:\\work\\counter\\";
    EXPECT_EQ(MakeRelative("C:\\work\\counter\\main.cpp", base), "main.cpp");
    EXPECT_EQ(MakeRelative("C:\\work\\common\\counter.h", base), "../common\\counter.h");
    EXPECT_EQ(MakeRelative("D:\\lib\\x.cpp", base), "D:\\lib\\x.cpp");
    EXPECT_EQ(MakeRelative("C:\\work\\counter\\sub\\name.cpp", base), "sub\\name.cpp");
    // Letter case makes different components.
    EXPECT_EQ(MakeRelative("C:\\Work\\x.cpp", "C:\\work\\"), "../Work\\x.cpp");
    EXPECT_EQ(MakeRelative("C:/work/a/b.cpp", "C:/work/"), "a/b.cpp");
}

TEST(MakeRelative, PosixPaths) {
    const std::string base = "/home/ann/counter/";
    EXPECT_EQ(MakeRelative("/home/ann/counter/main.cpp", base), "main.cpp");
    EXPECT_EQ(MakeRelative("/home/ann/counter/rtl/alu.cpp", base), "rtl/alu.cpp");
    EXPECT_EQ(MakeRelative("/home/ann/common/counter.h", base), "../common/counter.h");
    EXPECT_EQ(MakeRelative("/opt/lib/x.cpp", base), "../../../opt/lib/x.cpp");
    EXPECT_EQ(MakeRelative("/home/ann/counterx/a.h", base), "../counterx/a.h");
    EXPECT_EQ(MakeRelative("/home/ann/counter/dir with blank/a b.cpp", base), "dir with blank/a b.cpp");
}

TEST(MakeRelative, StoredFormResolvesBackToTheSamePath) {
    const std::string base = "/p/q/r/";
    // Folders named like a drive but not one (only a letter makes a drive).
    for (const char* p :
         {"/p/q/r/a.cpp", "/p/q/r/s/t/a.cpp", "/p/a.h", "/x/y/z.cc", "/p/q/r2/a.cpp", "/p/q/r/.:x/a.cpp",
          "/p/q/r/1:/a.cpp", "/p/q/r/::/a.h", "/p/q/r/C:x.h", "/p/q/r/C:/a.h"}) {
        const std::string stored = MakeRelative(p, base);
        PathParts parts = SplitPath(stored);
        EXPECT_EQ(ResolveStoredDirectory(parts.drive + parts.dir, base) + parts.base + parts.ext, p)
            << stored;
    }
}

TEST(Paths, SplitAndNames) {
    PathParts p = SplitPath("C:\\work\\counter\\main.cpp");
    EXPECT_EQ(p.drive, "C:");
    EXPECT_EQ(p.dir, "\\work\\counter\\");
    EXPECT_EQ(p.base, "main");
    EXPECT_EQ(p.ext, ".cpp");
    p = SplitPath("/a.b/c");
    EXPECT_EQ(p.dir, "/a.b/");
    EXPECT_EQ(p.base, "c");
    EXPECT_EQ(p.ext, "");
    p = SplitPath("x.tar.gz");
    EXPECT_EQ(p.dir, "");
    EXPECT_EQ(p.base, "x.tar");
    EXPECT_EQ(p.ext, ".gz");
    EXPECT_EQ(DirectoryOf("/a/b\\c.h"), "/a/b\\");
    EXPECT_EQ(FileNameOf("/a/b\\c.h"), "c.h");
    EXPECT_EQ(StemOf("a.b.cpp"), "a.b");
    EXPECT_EQ(StemOf("noext"), "noext");
    EXPECT_EQ(ExtensionOf("libfoo.a"), ".a");
    EXPECT_EQ(ExtensionOf("m"), "");
}

TEST(Paths, ResolveStoredDirectory) {
    const std::string dir = "/home/ann/counter/";
    EXPECT_EQ(ResolveStoredDirectory("", dir), dir);
    EXPECT_EQ(ResolveStoredDirectory("../common/", dir), "/home/ann/common/");
    EXPECT_EQ(ResolveStoredDirectory("sub/./x/../", dir), "/home/ann/counter/sub/");
    EXPECT_EQ(ResolveStoredDirectory("/abs//dir/", dir), "/abs/dir/");
    EXPECT_EQ(ResolveStoredDirectory("C:\\work\\", dir), "C:/work/");
    EXPECT_EQ(ResolveStoredDirectory(".:CK/", dir), "/home/ann/counter/.:CK/");
    EXPECT_EQ(ResolveStoredDirectory("../../../../../x/", dir), "/x/");
    EXPECT_EQ(AbsolutePath("b/../c.cpp", "/a"), "/a/c.cpp");
    EXPECT_EQ(AbsolutePath("/x//./y.h", "/a"), "/x/y.h");
}

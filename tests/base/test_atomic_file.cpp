#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "base/result.h"

namespace fs = std::filesystem;
using korl::AtomicFile;
using korl::WriteFileAtomically;

namespace {

struct Scratch {
    fs::path dir;
    Scratch() {
        dir = fs::temp_directory_path() / ("korl-base-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
    size_t Entries() const {
        size_t n = 0;
        for (auto& e : fs::directory_iterator(dir)) (void)e, ++n;
        return n;
    }
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(AtomicFile, ReplacesContentsAndKeepsMode) {
    Scratch dir;
    const std::string file = dir / "p.k1";
    ASSERT_TRUE(WriteFileAtomically(file, "one\n"));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(file, "two\n"));
    EXPECT_EQ(Read(file), "two\n");
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(AtomicFile, FailureLeavesTargetAndNoTemporary) {
    Scratch dir;
    fs::create_directories(dir.dir / "blocked/inner");
    auto r = WriteFileAtomically(dir / "blocked", "x");
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find("cannot replace"), std::string::npos);
    EXPECT_NE(r.error().code, 0);
    auto missing = WriteFileAtomically(dir / "missing/p.k1", "x");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_EQ(dir.Entries(), 1u); // blocked/ alone
    EXPECT_TRUE(fs::is_directory(dir.dir / "blocked/inner"));
}

TEST(AtomicFile, StreamedWriterCommitsOrDiscards) {
    Scratch dir;
    const std::string file = dir / "w.wvw";
    ASSERT_TRUE(WriteFileAtomically(file, "old"));
    {
        AtomicFile out(file);
        ASSERT_TRUE(out.Open());
        // Another handle writes to the temporary, as a streaming writer does.
        std::ofstream(out.TempPath(), std::ios::binary) << "half";
        EXPECT_EQ(Read(file), "old");
    } // not committed: dropped
    EXPECT_EQ(Read(file), "old");
    EXPECT_EQ(dir.Entries(), 1u);

    AtomicFile out(file);
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(out.Write("new"));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(Read(file), "new");
    EXPECT_EQ(dir.Entries(), 1u);
    EXPECT_FALSE(out.Commit()); // once only
}

// Load and save messages read as the system's English text in every locale.
TEST(SystemText, EnglishWhateverTheLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale); // may be missing: then the C locale stays
        EXPECT_EQ(korl::SystemText(ENOENT), "No such file or directory");
        EXPECT_EQ(korl::SystemError("cannot open x", EACCES).message, "cannot open x: Permission denied");
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(korl::SystemText(99999), "Unknown error 99999");
}

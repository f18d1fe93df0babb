#include "project/filelock.h"
#include "base/result.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "project/paths.h"

namespace korl {

namespace {

// Lock files this process holds, with the number of holders.
std::mutex g_heldMutex;
std::map<std::string, int>& Held() {
    static std::map<std::string, int> held;
    return held;
}

} // namespace

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    // A loop of links ends here too; the save then fails on the last name.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0) return current;
        target.resize(static_cast<size_t>(n));
        current = !target.empty() && target[0] == '/' ? target : DirectoryOf(current) + target;
    }
    return current;
}

std::string ProjectFileLock::LockPathFor(const std::string& projectPath) {
    const std::string target = FollowLinks(projectPath);
    // One spelling per directory, so that a lock this process holds is
    // recognised however the project was named.
    std::string dir = DirectoryOf(target);
    if (char* real = ::realpath(dir.empty() ? "." : dir.c_str(), nullptr)) {
        dir = real;
        std::free(real);
        if (dir.empty() || dir.back() != '/') dir += '/';
    }
    return dir + "." + FileNameOf(target) + ".lock";
}

ProjectFileLock::ProjectFileLock(const std::string& projectPath) : path_(LockPathFor(projectPath)) {
    std::lock_guard<std::mutex> guard(g_heldMutex);
    auto it = Held().find(path_);
    if (it != Held().end()) {
        ++it->second;
        nested_ = true;
        return;
    }
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0) {
        error_ = "cannot create the lock file " + path_ + ": " + SystemText(errno);
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error_ = "cannot lock " + path_ + ": " + SystemText(errno);
        ::close(fd_);
        fd_ = -1;
        return;
    }
    Held()[path_] = 1;
}

ProjectFileLock::~ProjectFileLock() {
    std::lock_guard<std::mutex> guard(g_heldMutex);
    if (!nested_ && fd_ < 0) return;
    auto it = Held().find(path_);
    if (it != Held().end() && --it->second == 0) Held().erase(it);
    if (fd_ >= 0) ::close(fd_); // closing releases the lock
}

} // namespace korl

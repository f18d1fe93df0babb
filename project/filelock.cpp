#include "project/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "project/paths.h"

namespace korl {

std::string ProjectFileLock::LockPathFor(const std::string& projectPath) {
    std::string target = projectPath;
    // The project itself may not exist yet (korlc new); its link may.
    if (char* real = ::realpath(projectPath.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    return DirectoryOf(target) + "." + FileNameOf(target) + ".lock";
}

ProjectFileLock::ProjectFileLock(const std::string& projectPath) {
    const std::string path = LockPathFor(projectPath);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0) {
        error_ = "cannot create the lock file " + path + ": " + std::strerror(errno);
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error_ = "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

ProjectFileLock::~ProjectFileLock() {
    if (fd_ >= 0) ::close(fd_); // closing releases the lock
}

} // namespace korl

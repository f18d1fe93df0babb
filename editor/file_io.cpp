#include "editor/file_io.h"
#include "base/result.h"

#include "base/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korl_editor {

namespace {

std::int64_t TimeOf(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000ll + st.st_mtim.tv_nsec;
}

bool WriteAll(int fd, const char* data, size_t size, int* err) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            *err = errno;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Resolves a chain of symbolic links so that saving replaces the target.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(current.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return current;
        std::string target(buf.data(), static_cast<size_t>(n));
        if (target[0] != '/') {
            size_t slash = current.rfind('/');
            target = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + target;
        }
        current = target;
    }
    return current;
}

} // namespace

std::int64_t FileWriteTime(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return TimeOf(st);
}

bool ReadWholeFile(const std::string& path, std::string* out, int* err) {
    out->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *err = errno;
        ::close(fd);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *err = EISDIR;
        ::close(fd);
        return false;
    }
    if (st.st_size > kMaxEditableFileBytes) {
        *err = EFBIG;
        ::close(fd);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) out->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            *err = errno;
            ::close(fd);
            out->clear();
            return false;
        }
        if (n == 0) break;
        // Pipes and special files have no size up front: keep the same bound.
        if (static_cast<std::int64_t>(out->size()) + n > kMaxEditableFileBytes) {
            *err = EFBIG;
            ::close(fd);
            out->clear();
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteFileBeside(const std::string& path, std::string_view bytes, int* err) {
    if (path.empty()) {
        *err = ENOENT;
        return false;
    }
    auto written = korl::WriteFileAtomically(FollowLinks(path), bytes);
    if (!written) *err = written.error().code ? written.error().code : EIO;
    return written.ok();
}

std::string SystemErrorText(int err) { return korl::SystemText(err); }

} // namespace korl_editor

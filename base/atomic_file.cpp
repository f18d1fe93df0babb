#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace korl {

std::string SystemText(int code) {
    const char* text = ::strerrordesc_np(code);
    return text ? std::string(text) : "Unknown error " + std::to_string(code);
}

Error SystemError(std::string what, int code) {
    what += ": ";
    what += SystemText(code);
    return Error{std::move(what), code};
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

Result<void> AtomicFile::Open() {
    Discard();
    if (target_.empty()) return SystemError("cannot write the file", ENOENT);
    static std::atomic<unsigned> counter{0};
    const size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    // A hidden name in the same folder, so the rename stays on one file system.
    for (int tries = 0; tries < 100; ++tries) {
        std::string candidate =
            dir + "." + name + ".korl-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd_ = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temp_ = std::move(candidate);
            break;
        }
        if (errno != EEXIST) return SystemError("cannot write " + target_, errno);
    }
    if (fd_ < 0) return SystemError("cannot write " + target_, EEXIST);
    struct stat old;
    if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        (void)::fchmod(fd_, old.st_mode & 07777);
        // Keeps the owner when we may; as another user this fails harmlessly.
        (void)!::fchown(fd_, old.st_uid, old.st_gid);
    }
    return {};
}

Result<void> AtomicFile::Write(std::string_view bytes) {
    if (fd_ < 0) return SystemError("cannot write " + target_, EBADF);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SystemError("cannot write " + target_, errno);
        }
        done += static_cast<size_t>(n);
    }
    return {};
}

Result<void> AtomicFile::Commit() {
    if (fd_ < 0) return SystemError("cannot write " + target_, EBADF);
    auto fail = [&](const char* what, int err) {
        Error e = SystemError(what + target_, err);
        Discard();
        return e;
    };
    // Flushes whatever was written through any handle of the temporary.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return fail("cannot write ", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail("cannot write ", errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail("cannot replace ", errno);
    temp_.clear();
    return {};
}

Result<void> WriteFileAtomically(const std::string& path, std::string_view data) {
    AtomicFile file(path);
    if (auto r = file.Open(); !r) return r;
    if (auto r = file.Write(data); !r) return r;
    return file.Commit();
}

} // namespace korl

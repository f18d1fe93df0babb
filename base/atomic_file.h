#pragma once
// Crash-safe saving: the new contents go to a temporary file beside the
// target, are flushed to disk, and only then renamed over the target. A
// reader never sees a half-written file, and any failure leaves the old file
// as it was and no temporary behind.
#include <string>
#include <string_view>

#include "base/result.h"

namespace korl {

// For writers that stream into a file of their own: create, write to
// TempPath() (or fd()), then Commit(). Destroying it uncommitted removes the
// temporary. The mode (and, where allowed, the owner) of an existing target
// is kept; a new file gets the usual mode under the umask.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    Result<void> Open();
    const std::string& TempPath() const { return temp_; }
    int fd() const { return fd_; }
    Result<void> Write(std::string_view bytes);
    // Flushes and renames over the target.
    Result<void> Commit();
    void Discard();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// The whole file at once. Errors read "cannot write PATH: reason" or
// "cannot replace PATH: reason".
Result<void> WriteFileAtomically(const std::string& path, std::string_view data);

} // namespace korl

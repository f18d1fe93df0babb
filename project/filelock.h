#pragma once
// An advisory lock (flock) on a lock file beside a project file, held while a
// writer reads, changes and saves the project, so that two writers at once
// never lose each other's updates.
#include <string>

namespace korl {

class ProjectFileLock {
public:
    // Blocks until the lock on the lock file of `projectPath` is held. The
    // lock file lies beside the file a symbolic link points to, so every
    // link to one project shares one lock.
    explicit ProjectFileLock(const std::string& projectPath);
    ~ProjectFileLock(); // releases the lock; the lock file stays
    ProjectFileLock(const ProjectFileLock&) = delete;
    ProjectFileLock& operator=(const ProjectFileLock&) = delete;

    // False when the lock file could not be created or locked (a read-only
    // directory): the caller goes on unlocked, and Error() says why.
    bool Locked() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }

    // "DIR/.NAME.lock" for the project file DIR/NAME (after following links).
    static std::string LockPathFor(const std::string& projectPath);

private:
    int fd_ = -1;
    std::string error_;
};

} // namespace korl

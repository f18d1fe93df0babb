#pragma once
// An advisory lock (flock) on a lock file beside a project file, held while a
// writer reads, changes and saves the project, so that two writers at once
// never lose each other's updates.
#include <string>

namespace korl {

// The file `path` finally names after following symbolic links (also a
// dangling one: the file a save would create); `path` itself when it is no
// link. Relative link targets are taken from the link's directory.
std::string FollowLinks(const std::string& path);

class ProjectFileLock {
public:
    // Blocks until the lock on the lock file of `projectPath` is held. The
    // lock file lies beside the file a symbolic link points to, so every
    // link to one project shares one lock. A lock this process already holds
    // is held once more (nothing is locked again), so a save inside a locked
    // command does not wait for itself.
    explicit ProjectFileLock(const std::string& projectPath);
    ~ProjectFileLock(); // releases the lock; the lock file stays
    ProjectFileLock(const ProjectFileLock&) = delete;
    ProjectFileLock& operator=(const ProjectFileLock&) = delete;

    // False when the lock file could not be created or locked (a read-only
    // directory): the caller goes on unlocked, and Error() says why.
    bool Locked() const { return fd_ >= 0 || nested_; }
    const std::string& Error() const { return error_; }

    // "DIR/.NAME.lock" for the project file DIR/NAME (after following links).
    static std::string LockPathFor(const std::string& projectPath);

private:
    std::string path_;
    bool nested_ = false;
    int fd_ = -1;
    std::string error_;
};

} // namespace korl

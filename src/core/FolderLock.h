// An advisory lock on a working folder for the length of a run, so that two instances of
// the program never use one folder's parameter file at the same time. The lock is taken on
// the folder itself (flock on a descriptor of the directory): nothing is created in it.
#pragma once

#include <string>

namespace myrl {

class FolderLock {
public:
    // Tries to lock `folder` without waiting.
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // True when another holds the lock. A folder that cannot be opened at all is not
    // contended: nobody can lock it, and the run goes on without the lock.
    bool Contended() const { return contended_; }
    // True when this run holds the lock.
    bool Held() const { return fd_ >= 0; }
    // Why the folder could not be locked when it is neither held nor contended (a folder the
    // user may write but not read cannot be opened): the system's reason, an errno value.
    int Error() const { return error_; }

private:
    int fd_ = -1;
    bool contended_ = false;
    int error_ = 0;
};

} // namespace myrl

#pragma once

#include <stdexcept>
#include <string>

// Another process holds the file: its pid, 0 when it cannot be told.
class OwnerLockHeld : public std::runtime_error
{
public:
    explicit OwnerLockHeld(int holder);
    int holder() const { return m_holder; }

private:
    int m_holder = 0;
};

// This run's hold on a file that one process at a time may use (a fleet file), kept while this lives: an
// exclusive flock on an open descriptor, which shuts every other out, and a POSIX read lock beside it,
// which names this process to the refused one (F_GETLK reports a POSIX lock's pid; a flock tells none,
// and an open file description's lock reports none). Both take a descriptor open for reading only, so a
// read-only file is held as well, and nothing is written beside it.
class OwnerLock
{
public:
    // Throws OwnerLockHeld when another process holds the file, std::runtime_error with the reason alone
    // when it cannot be opened or locked.
    explicit OwnerLock(std::string path);
    ~OwnerLock();
    OwnerLock(const OwnerLock &) = delete;
    OwnerLock &operator=(const OwnerLock &) = delete;

    // Closing any descriptor of the file (reading it again) drops the POSIX lock, and an editor that saves
    // by renaming a new file over the path leaves the old one held: the hold is taken again on what the
    // path names now. Throws as the constructor does; the old hold stays then.
    void renew();

private:
    std::string m_path;
    int m_descriptor = -1;
};

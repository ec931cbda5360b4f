// How every program touches the files of a working folder that other people
// can reach: data/ and poly/ may be writable by a whole class, so what is
// found there is untrusted. Plain C++ and POSIX, for the runtime's file layer
// and for the Qt programs alike. Messages are in French and name the file.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace file_safety {

// No real file of the system comes near it.
constexpr std::size_t kMaxFileSize = 10 * 1024 * 1024;

// ---- reading -------------------------------------------------------------------

// Missing: nothing by that name. Unreadable: there, but it cannot be opened
// (permission, a folder). Refused: not a regular file, or too big.
enum class ReadStatus { Read, Missing, Unreadable, Refused };

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    std::string content;
    std::string error;  // why a file that is there was refused or could not be read
};

// Reads a regular file of at most kMaxFileSize bytes. It is opened without
// blocking, so that a named pipe or a device in its place is refused at once
// instead of hanging or filling the memory. Links are followed.
ReadResult readRegularFile(const std::string& path);

// ---- writing -------------------------------------------------------------------

enum class WriteStatus { Written, NotPermitted, Refused, Failed };

struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    std::string error;
    bool ok() const { return status == WriteStatus::Written; }
};

// Where a write to path lands: path itself (a file or a folder, there or not),
// or the end of a chain of symbolic links that all belong to the running user.
// A link of another user on the way is Refused, with a message naming it: what
// is written there would go wherever that user chose.
WriteResult followOwnLinks(const std::string& path, std::string& target);

// A file replaced in one step: the new content goes to a temporary created
// exclusively beside the target (held under an flock while it lives), and
// takes the target's place at commit(). The replaced file's mode and group are
// kept; a new file gets the umask's mode. A target the user may not write is
// refused (NotPermitted). A symbolic link is followed only when it belongs to
// the running user, and then its target is replaced in its own folder;
// anything else than a regular file is refused.
class Replacement {
public:
    explicit Replacement(const std::string& path);
    ~Replacement();  // abandons what was not committed
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Written when the temporary is ready to take the content.
    const WriteResult& opened() const { return opened_; }
    // The file that will be replaced (the link's target for a followed link).
    const std::string& target() const { return target_; }
    WriteResult commit(const std::string& content);

private:
    std::string path_, target_, temporary_;
    int fd_ = -1;
    WriteResult opened_;
};

WriteResult replaceFile(const std::string& path, const std::string& content);

// While a batch lives, the replacements made in its thread leave their folder
// unsynced; the batch syncs each such folder once when it ends. A group of
// files replaced together thus costs one folder sync instead of one a file.
// A batch inside another leaves the work to the outer one.
class FolderSyncBatch {
public:
    FolderSyncBatch();
    ~FolderSyncBatch();
    FolderSyncBatch(const FolderSyncBatch&) = delete;
    FolderSyncBatch& operator=(const FolderSyncBatch&) = delete;

private:
    std::set<std::string> folders_;
    bool owner_ = false;
};

// While a group lives, the replacements committed in its thread are written
// to their temporaries and wait there: commit() flushes them together, then
// puts each in its target's place and syncs their folders once. A group that
// an error ends commits what was written before it, as replacements made one
// by one would have been. A kill at any moment leaves each target old or new;
// a flush that fails abandons the temporaries and keeps every target. One
// group at a time in a thread.
class ReplacementGroup {
public:
    ReplacementGroup();
    ~ReplacementGroup();
    ReplacementGroup(const ReplacementGroup&) = delete;
    ReplacementGroup& operator=(const ReplacementGroup&) = delete;

    WriteResult commit();

private:
    friend class Replacement;
    struct Written {
        int fd;
        std::string temporary, target;
    };
    void abandon();
    std::vector<Written> written_;
};

// Appends the text in one write and syncs it; the file is created with the
// umask's mode when missing. A link that is not the user's is refused. An
// empty text only makes sure the file can be appended to: nothing to sync.
WriteResult appendToFile(const std::string& path, const std::string& text);

// Sets aside lines that a program could not use: a new file beside path,
// created exclusively (never an existing file, nor a link in its place) as
// path.bad, or path.bad.2, path.bad.3... when taken, readable by no more people
// than path itself. usedPath receives the name it got.
WriteResult setAside(const std::string& path, const std::string& content, std::string& usedPath);

// Removes the temporaries ".NAME.XXXXXX" that interrupted replacements of
// name left in folder, those that no live process holds, and nothing else.
// Done once a process for each folder and name; a program's first
// replacement of a file does it for that file.
void removeStaleTemporaries(const std::string& folder, const std::string& name);

// ---- locks ---------------------------------------------------------------------

// An exclusive lock on the lock file path while the object lives, for a read,
// change and replace that two programs of the folder could make at once. It is
// an flock, which the system lets go when its holder ends, however it ends: a
// lock file left behind holds nothing. The file is made when missing and never
// written; a link, a pipe or anything else than a regular file in its place is
// refused at once. A lock held by another program is tried again until
// patience has passed, then error() says so.
class FileLock {
public:
    explicit FileLock(const std::string& path, std::chrono::milliseconds patience = std::chrono::seconds(2));
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

// ---- new files and folders ---------------------------------------------------

// True when the regular file at path holds exactly the content: writing it
// again would replace nothing.
bool holds(const std::string& path, const std::string& content);

// The folder at path, made when missing; a symbolic link in its place is used
// only when it belongs to the running user. A refusal's message ends with
// what it means for the caller: "l'historique n'y est pas écrit".
WriteResult ownFolder(const std::string& path, const std::string& consequence);

// Writes content to a new file in folder, under the first name nameFor(n)
// gives, from n = first on, that is free: an existing file is never replaced.
// The content goes through a temporary named after stem; the new file takes
// the permission bits of the file modeOf; it and the folder are synced. A
// failure's message is failure followed by the system's reason.
WriteResult addNewFile(const std::string& folder, const std::string& stem, const std::string& content,
                       const std::string& modeOf, int first, const std::function<std::string(int)>& nameFor,
                       const std::string& failure);

}  // namespace file_safety

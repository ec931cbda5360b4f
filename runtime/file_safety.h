// How every program touches the files of a working folder that other people
// can reach: data/ and poly/ may be writable by a whole class, so what is
// found there is untrusted. Plain C++ and POSIX, for the runtime's file layer
// and for the Qt programs alike. Messages are in French and name the file.
#pragma once

#include <chrono>
#include <cstddef>
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

// ---- coefficient history -----------------------------------------------------

// Every program that writes a coefficient file (poly/A1.poly, poly/H.poly,
// poly/A2.poly) first keeps the file it replaces in poly/historique/, named
// after the model and the local time of the replacement:
// A1-2026-12-07T14-03-22.poly (a second version within the same second gets
// "-2", "-3"... after the time). The kHistoryDepth latest are kept per model.
constexpr int kHistoryDepth = 50;
constexpr const char* kHistoryFolder = "historique";

struct CoefficientVersion {
    std::string path;   // poly/historique/A1-2026-12-07T14-03-22.poly
    std::string stamp;  // 2026-12-07T14-03-22
    int sequence = 1;   // 1, then 2, 3... within one second
};

// The kept versions of one model ("A1", "H", "A2"), newest first.
std::vector<CoefficientVersion> coefficientHistory(const std::string& polyFolder, const std::string& model);

// Keeps the current polyFolder/<model>.poly in the history (nothing to keep
// when it does not exist, nor when the newest version already holds it), then
// drops the versions beyond kHistoryDepth.
WriteResult keepCoefficientFile(const std::string& polyFolder, const std::string& model);

// True when the regular file at path holds exactly the content: writing it
// again would replace nothing, and keep no version.
bool holds(const std::string& path, const std::string& content);

// Keeps the file being replaced, then replaces it with the content: the way
// every program writes a coefficient file. The same content again changes
// nothing.
WriteResult writeCoefficientFile(const std::string& polyFolder, const std::string& model,
                                 const std::string& content);

}  // namespace file_safety

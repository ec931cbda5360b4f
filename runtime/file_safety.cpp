#include "file_safety.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace file_safety {

namespace {

namespace fs = std::filesystem;

std::string inQuotes(const std::string& path) { return "« " + path + " »"; }

WriteResult result(WriteStatus status, std::string error = {}) { return {status, std::move(error)}; }

std::string folderOf(const std::string& path) {
    std::string parent = fs::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

std::string nameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "un tube nommé";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "un périphérique";
    if (S_ISSOCK(mode)) return "une prise réseau";
    if (S_ISDIR(mode)) return "un dossier";
    return "un fichier spécial";
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& content) {
    for (std::size_t done = 0; done < content.size();) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool notPermitted(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// The file a write to path reaches, when it is a regular file or missing.
WriteResult resolveWriteTarget(const std::string& path, std::string& target) {
    WriteResult followed = followOwnLinks(path, target);
    struct stat st {};
    if (followed.ok() && ::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return result(WriteStatus::Refused,
                      inQuotes(target) + " est " + kindOf(st.st_mode) + ", pas un fichier ordinaire : il n'est pas écrit.");
    return followed;
}

// A temporary beside the target, created exclusively and held under an flock
// for its whole life, so that the clean-up of stale temporaries never takes a
// live one. A temporary that a clean-up removed before the lock was taken has
// no name left: another one is made.
int createLockedTemporary(const std::string& target, std::string& temporary) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof letters - 2);
    const std::string stem = (fs::path(folderOf(target)) / ("." + nameOf(target) + ".")).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 6; ++i) name += letters[pick(random)];
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        struct stat st {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            temporary = name;
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

bool isTemporaryOf(const std::string& entry, const std::string& name) {
    const std::string stem = "." + name + ".";
    if (entry.size() != stem.size() + 6 || entry.compare(0, stem.size(), stem) != 0) return false;
    return std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(stem.size()), entry.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

bool syncFolder(const std::string& folder) {
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// The folders whose sync the current thread's outermost FolderSyncBatch holds back.
thread_local std::set<std::string>* heldFolderSyncs = nullptr;

void syncFolderNowOrAtBatchEnd(const std::string& folder) {
    if (heldFolderSyncs)
        heldFolderSyncs->insert(folder);
    else
        syncFolder(folder);
}

// The current thread's ReplacementGroup, which takes the written replacements.
thread_local ReplacementGroup* heldReplacements = nullptr;

WriteResult notWritten(const std::string& target, int error) {
    return result(WriteStatus::Failed, "Le fichier " + inQuotes(target) + " n'a pas pu être écrit (" +
                                           std::strerror(error) + ") ; son ancien contenu est conservé.");
}

}  // namespace

// Follows links as Linux does in shared sticky folders: only those that
// belong to the running user.
WriteResult followOwnLinks(const std::string& path, std::string& target) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 && errno != ENOENT)
            return result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed,
                          "Le fichier " + inQuotes(current) + " est inaccessible : " + std::strerror(errno) + ".");
        if (!S_ISLNK(st.st_mode)) {
            target = current;
            return result(WriteStatus::Written);
        }
        if (st.st_uid != ::geteuid())
            return result(WriteStatus::Refused,
                          inQuotes(current) + " est un lien symbolique qui appartient à un autre utilisateur : "
                                            "le programme n'écrit pas à travers lui. Supprimez ce lien.");
        std::error_code ec;
        fs::path link = fs::read_symlink(current, ec);
        if (ec)
            return result(WriteStatus::Failed, "Le lien " + inQuotes(current) + " est illisible : " + ec.message() + ".");
        current = link.is_absolute() ? link.string() : (fs::path(folderOf(current)) / link).string();
    }
    return result(WriteStatus::Refused, inQuotes(path) + " passe par trop de liens symboliques : il n'est pas écrit.");
}

void removeStaleTemporaries(const std::string& folder, const std::string& name) {
    static std::mutex mutex;
    static std::set<std::string> seen, done;
    // The folder as given, from the root, is checked first: resolving its
    // links costs a look at every step of the path, once is enough.
    std::error_code ec;
    fs::path absolute = fs::absolute(folder, ec);
    std::string given = (ec ? folder : absolute.string()) + '\n' + name;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!seen.insert(given).second) return;
    }
    std::string key = fs::weakly_canonical(folder, ec).string() + '\n' + name;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!done.insert(key).second) return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    int dirFd = ::dirfd(dir);
    while (dirent* entry = ::readdir(dir)) {
        if (!isTemporaryOf(entry->d_name, name)) continue;
        Descriptor fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// ---- reading -------------------------------------------------------------------

ReadResult readRegularFile(const std::string& path) {
    ReadResult read;
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        read.status = errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
        read.error = "Le fichier " + inQuotes(path) + " est illisible : " + std::strerror(errno) + ".";
        return read;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        read.status = ReadStatus::Unreadable;
        read.error = "Le fichier " + inQuotes(path) + " est illisible : " + std::strerror(errno) + ".";
        return read;
    }
    if (S_ISDIR(st.st_mode)) {
        read.status = ReadStatus::Unreadable;
        read.error = inQuotes(path) + " est un dossier, pas un fichier.";
        return read;
    }
    read.status = ReadStatus::Refused;
    if (!S_ISREG(st.st_mode)) {
        read.error = inQuotes(path) + " est " + kindOf(st.st_mode) + ", pas un fichier ordinaire : il n'est pas lu.";
        return read;
    }
    const std::string tooBig = inQuotes(path) + " dépasse " + std::to_string(kMaxFileSize / (1024 * 1024)) +
                               " Mo : ce n'est pas un fichier du simulateur, il n'est pas lu.";
    if (static_cast<std::size_t>(st.st_size) > kMaxFileSize) {
        read.error = tooBig;
        return read;
    }
    std::string content(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == content.size()) {
            if (content.size() > kMaxFileSize) {  // it grew while being read
                read.error = tooBig;
                return read;
            }
            content.resize(std::min(content.size() * 2, kMaxFileSize + 1));
        }
        ssize_t n = ::read(fd.get(), &content[length], content.size() - length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            read.status = ReadStatus::Unreadable;
            read.error = "Le fichier " + inQuotes(path) + " est illisible : " + std::strerror(errno) + ".";
            return read;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
    }
    content.resize(length);
    read.status = ReadStatus::Read;
    read.content = std::move(content);
    return read;
}

// ---- writing -------------------------------------------------------------------

Replacement::Replacement(const std::string& path) : path_(path) {
    opened_ = resolveWriteTarget(path, target_);
    if (!opened_.ok()) return;
    struct stat st {};
    bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
        opened_ = result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed,
                         "Le fichier " + inQuotes(target_) + " est protégé en écriture : il n'est pas remplacé.");
        return;
    }
    removeStaleTemporaries(folderOf(target_), nameOf(target_));
    fd_ = createLockedTemporary(target_, temporary_);
    if (fd_ < 0) {
        opened_ = result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed,
                         "Le fichier " + inQuotes(target_) + " ne peut pas être écrit : " + std::strerror(errno) + ".");
        return;
    }
    if (exists) {
        // The group first: changing it may clear the set-id bits that the mode restores.
        [[maybe_unused]] int ignored = ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
        ::fchmod(fd_, st.st_mode & 07777);
    }
}

Replacement::~Replacement() {
    if (fd_ < 0) return;
    ::unlink(temporary_.c_str());
    ::close(fd_);
}

WriteResult Replacement::commit(const std::string& content) {
    if (!opened_.ok()) return opened_;
    if (fd_ < 0) return result(WriteStatus::Failed, "Le fichier " + inQuotes(target_) + " est déjà écrit.");
    bool written = writeAll(fd_, content);
    if (written && heldReplacements) {
        heldReplacements->written_.push_back({fd_, temporary_, target_});
        fd_ = -1;
        return result(WriteStatus::Written);
    }
    written = written && ::fsync(fd_) == 0 && ::rename(temporary_.c_str(), target_.c_str()) == 0;
    int saved = errno;
    if (!written) {
        ::unlink(temporary_.c_str());
        ::close(fd_);
        fd_ = -1;
        return notWritten(target_, saved);
    }
    ::close(fd_);  // the lock goes only once the temporary has its final name
    fd_ = -1;
    syncFolderNowOrAtBatchEnd(folderOf(target_));
    return result(WriteStatus::Written);
}

FolderSyncBatch::FolderSyncBatch() {
    if (heldFolderSyncs) return;  // an outer batch syncs them
    heldFolderSyncs = &folders_;
    owner_ = true;
}

FolderSyncBatch::~FolderSyncBatch() {
    if (!owner_) return;
    heldFolderSyncs = nullptr;
    for (const std::string& folder : folders_) syncFolder(folder);
}

ReplacementGroup::ReplacementGroup() { heldReplacements = this; }

ReplacementGroup::~ReplacementGroup() { commit(); }

void ReplacementGroup::abandon() {
    for (const Written& file : written_) {
        ::unlink(file.temporary.c_str());
        ::close(file.fd);
    }
    written_.clear();
}

WriteResult ReplacementGroup::commit() {
    heldReplacements = nullptr;
    // Every temporary's writing starts before the first one is waited for:
    // the disk takes them in one go.
    for (const Written& file : written_) ::sync_file_range(file.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    for (const Written& file : written_)
        if (::fsync(file.fd) != 0) {
            const WriteResult failed = notWritten(file.target, errno);
            abandon();
            return failed;
        }
    FolderSyncBatch folders;
    for (auto file = written_.begin(); file != written_.end(); file = written_.erase(file)) {
        if (::rename(file->temporary.c_str(), file->target.c_str()) != 0) {
            const WriteResult failed = notWritten(file->target, errno);
            abandon();
            return failed;
        }
        ::close(file->fd);  // the lock goes only once the temporary has its final name
        syncFolderNowOrAtBatchEnd(folderOf(file->target));
    }
    return result(WriteStatus::Written);
}

WriteResult replaceFile(const std::string& path, const std::string& content) {
    return Replacement(path).commit(content);
}

WriteResult appendToFile(const std::string& path, const std::string& text) {
    std::string target;
    WriteResult resolved = resolveWriteTarget(path, target);
    if (!resolved.ok()) return resolved;
    // O_NOFOLLOW: a link put in place since it was looked at is not followed.
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Refused,
                      "Le fichier " + inQuotes(target) + " ne peut pas être écrit : " + std::strerror(errno) + ".");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return result(WriteStatus::Refused, inQuotes(target) + " n'est pas un fichier ordinaire : il n'est pas écrit.");
    if (!text.empty() && (!writeAll(fd.get(), text) || ::fsync(fd.get()) != 0))
        return result(WriteStatus::Failed, "L'écriture dans " + inQuotes(target) + " a échoué : " + std::strerror(errno) + ".");
    return result(WriteStatus::Written);
}

WriteResult setAside(const std::string& path, const std::string& content, std::string& usedPath) {
    struct stat source {};
    mode_t mode = ::stat(path.c_str(), &source) == 0 ? (source.st_mode & 0666) : 0600;
    for (int n = 1; n <= 1000; ++n) {
        std::string name = path + ".bad" + (n > 1 ? "." + std::to_string(n) : "");
        Descriptor fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0 && errno == EEXIST) continue;
        if (fd.get() < 0)
            return result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed,
                          "Le fichier " + inQuotes(name) + " ne peut pas être créé : " + std::strerror(errno) + ".");
        if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), content) || ::fsync(fd.get()) != 0) {
            int saved = errno;
            ::unlink(name.c_str());
            return result(WriteStatus::Failed, "Le fichier " + inQuotes(name) + " n'a pas pu être écrit : " +
                                                   std::strerror(saved) + ".");
        }
        usedPath = name;
        return result(WriteStatus::Written);
    }
    return result(WriteStatus::Refused, "Trop de fichiers " + inQuotes(path + ".bad...") + " : supprimez les anciens.");
}

// ---- locks ---------------------------------------------------------------------

FileLock::FileLock(const std::string& path, std::chrono::milliseconds patience) {
    // O_NONBLOCK: a pipe planted in its place does not wait for a writer.
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
    // Made by another user of the folder: a descriptor that can only read locks as well.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | flags);
    if (fd < 0) {
        error_ = errno == ELOOP ? inQuotes(path) + " est un lien symbolique : le verrou n'est pas pris à travers lui. "
                                                   "Supprimez ce lien."
                                : "Le verrou " + inQuotes(path) + " ne peut pas être ouvert (" + std::strerror(errno) +
                                      ") : vérifiez que vous pouvez écrire dans son dossier.";
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error_ = inQuotes(path) + " est " + kindOf(st.st_mode) + ", pas un fichier ordinaire : le verrou n'est pas "
                                                                 "pris. Supprimez-le.";
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (error_.empty() && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            error_ = "Le verrou " + inQuotes(path) + " ne peut pas être pris : " + std::strerror(errno) + ".";
        else if (std::chrono::steady_clock::now() >= deadline)
            error_ = "Le verrou " + inQuotes(path) + " est tenu par un autre programme : réessayez dans un moment, "
                                                     "ou fermez l'autre programme.";
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (error_.empty())
        fd_ = fd;
    else
        ::close(fd);
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}

// ---- new files and folders ---------------------------------------------------

bool holds(const std::string& path, const std::string& content) {
    const ReadResult current = readRegularFile(path);
    return current.status == ReadStatus::Read && current.content == content;
}

WriteResult ownFolder(const std::string& path, const std::string& consequence) {
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed,
                      "Le dossier " + inQuotes(path) + " n'a pas pu être créé : " + std::strerror(errno) + ".");
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return result(WriteStatus::Failed, "Le dossier " + inQuotes(path) + " est inaccessible : " + std::strerror(errno) + ".");
    if (S_ISLNK(st.st_mode) && st.st_uid != ::geteuid())
        return result(WriteStatus::Refused,
                      inQuotes(path) + " est un lien symbolique qui appartient à un autre utilisateur : " + consequence + ".");
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return result(WriteStatus::Refused, inQuotes(path) + " n'est pas un dossier : " + consequence + ".");
    return result(WriteStatus::Written);
}

WriteResult addNewFile(const std::string& folder, const std::string& stem, const std::string& content,
                       const std::string& modeOf, int first, const std::function<std::string(int)>& nameFor,
                       const std::string& failure) {
    std::string temporary;
    removeStaleTemporaries(folder, stem);
    Descriptor fd(createLockedTemporary((fs::path(folder) / stem).string(), temporary));
    if (fd.get() < 0)
        return result(notPermitted(errno) ? WriteStatus::NotPermitted : WriteStatus::Failed, failure + std::strerror(errno) + ".");
    struct stat st {};
    ::stat(modeOf.c_str(), &st);
    bool written = ::fchmod(fd.get(), st.st_mode & 0666) == 0 && writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    int saved = errno;
    // link() takes the final name only when it is free: a file is never overwritten.
    bool linked = false;
    for (int sequence = first; written && !linked && sequence <= 99999; ++sequence) {
        std::string name = (fs::path(folder) / nameFor(sequence)).string();
        linked = ::link(temporary.c_str(), name.c_str()) == 0;
        if (!linked && errno != EEXIST) {
            saved = errno;
            break;
        }
    }
    ::unlink(temporary.c_str());
    if (!linked) return result(WriteStatus::Failed, failure + std::strerror(saved) + ".");
    syncFolder(folder);
    return result(WriteStatus::Written);
}

}  // namespace file_safety

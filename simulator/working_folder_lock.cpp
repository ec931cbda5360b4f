#include "working_folder_lock.h"

#include "errors.h"
#include "facts.h"
#include "file_safety.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLockFile = "simulateur.lock";

struct HeldLock {
    std::string folder;
    int fd = -1;
};

HeldLock& held() {
    static HeldLock lock;
    return lock;
}

// "pid host", as the holder wrote it.
std::string holderOf(int fd) {
    char text[256 + HOST_NAME_MAX] = {};
    ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    std::string holder(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) holder.pop_back();
    std::size_t blank = holder.find(' ');
    if (holder.empty() || blank == std::string::npos) return "un processus inconnu";
    return "le processus " + holder.substr(0, blank) + " sur la machine « " + holder.substr(blank + 1) + " »";
}

}  // namespace

std::string foreignWorkingFolder() {
    for (const char* folder : {facts::kDataFolder, facts::kCoefficientFolder}) {
        std::error_code ec;
        std::string target;
        const auto followed = file_safety::followOwnLinks((std::filesystem::current_path(ec) / folder).string(), target);
        if (followed.status == file_safety::WriteStatus::Refused) return followed.error;
    }
    return {};
}

void holdWorkingFolder() {
    std::error_code ec;
    std::string folder = std::filesystem::canonical(facts::kDataFolder, ec).string();
    if (ec || folder == held().folder) return;
    std::string path = folder + "/" + kLockFile;
    // O_NONBLOCK: a pipe planted in its place does not wait for a writer.
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | flags);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        mlfError("« " + path + " » n'est pas un fichier ordinaire : le simulateur ne peut pas y prendre sa place. "
                 "Supprimez-le, puis relancez le simulateur.");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::string holder = holderOf(fd);
        ::close(fd);
        mlfError("Un autre simulateur travaille déjà dans ce dossier (" + holder + ") : fermez-le avant d'en " +
                 "lancer un autre ici. Les éditeurs de coefficients et la console peuvent tourner à côté.");
    }
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, sizeof host - 1);
    std::string holder = std::to_string(::getpid()) + " " + host + "\n";
    if (::ftruncate(fd, 0) == 0) [[maybe_unused]] ssize_t written = ::pwrite(fd, holder.data(), holder.size(), 0);
    if (held().fd >= 0) ::close(held().fd);
    held() = {folder, fd};
    for (const char* file : {facts::kToolingFile, facts::kAdjustmentFile, facts::kCountFile, facts::kSettingsLogFile})
        file_safety::removeStaleTemporaries(folder, file);
}

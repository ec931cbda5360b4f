#include "robustness.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

void tally(const std::string& what, long n) {
    // One write a line, appended: parallel tests never mix their lines.
    std::string line = what + " " + std::to_string(n) + "\n";
    int fd = ::open(COUNTS_FILE, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return;
    [[maybe_unused]] auto written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

testing::AssertionResult noCrash(int status, const std::string& err) {
    bool sanitizer = err.find("Sanitizer") != std::string::npos || err.find("runtime error:") != std::string::npos;
    if (status != -1 && status != 255 && !sanitizer) return testing::AssertionSuccess();
    tally("crashes");
    return testing::AssertionFailure() << "crash, status " << status << ":\n" << err;
}

std::vector<std::string> errorLines(const std::string& err) {
    std::vector<std::string> found;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("error: ", 0) == 0 || line.rfind("script, ligne", 0) == 0) found.push_back(line);
    return found;
}

Files filesIn(const fs::path& folder) {
    Files files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        // The station journal is a live database: its writer thread and its
        // readers change it at any moment. Its own tests look after it.
        if (!entry.is_regular_file() || entry.path().filename().string().rfind("journal.sqlite", 0) == 0) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        files[fs::relative(entry.path(), folder).string()] = content.str();
    }
    return files;
}

testing::AssertionResult unchanged(const Files& before, const fs::path& folder) {
    Files after = filesIn(folder);
    long changed = 0;
    std::string which;
    for (const auto& [name, content] : before) {
        auto now = after.find(name);
        if (now != after.end() && now->second == content) continue;
        ++changed;
        which += " " + name;
    }
    if (changed == 0) return testing::AssertionSuccess();
    tally("torn_or_lost", changed);
    return testing::AssertionFailure() << "changed or lost in " << folder << ":" << which;
}

fs::path workingFolderOf(int pid) { return fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd"); }

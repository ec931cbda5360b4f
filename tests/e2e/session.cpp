#include "session.h"

#include <QJsonDocument>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

std::vector<QJsonObject> WindowDump::ofType(const char* type) const {
    std::vector<QJsonObject> out;
    for (const auto& o : objects_)
        if (o["type"].toString() == type) out.push_back(o);
    return out;
}

QJsonObject WindowDump::control(int n) const { return ofType("uicontrol").at(n - 1); }

std::string WindowDump::controlString(int n) const {
    return control(n)["string"].toString().toStdString();
}

std::vector<QJsonObject> WindowDump::linesOf(const QJsonObject& axes) const {
    std::vector<QJsonObject> out;
    for (const auto& o : objects_)
        if (o["type"].toString() == "line" && o["parent"] == axes["handle"]) out.push_back(o);
    return out;
}

std::vector<std::string> WindowDump::legendLabelsOf(const QJsonObject& axes) const {
    std::vector<std::string> out;
    for (const auto& o : objects_)
        if (o["type"].toString() == "legend" && o["parent"] == axes["handle"])
            for (const auto& label : o["labels"].toArray()) out.push_back(label.toString().toStdString());
    return out;
}

Workspace::Workspace(bool withFolders) {
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() /
           ("vbend_e2e_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    if (withFolders) {
        fs::create_directory(dir_ / "data");
        fs::create_directory(dir_ / "poly");
    }
}

Workspace::~Workspace() {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

std::string Workspace::read(const std::string& relative) const { return slurp(dir_ / relative); }

void Workspace::write(const std::string& relative, const std::string& content) const {
    std::ofstream(dir_ / relative, std::ios::binary) << content;
}

void Workspace::giveTo(const std::string& user) const {
    const passwd* account = ::getpwnam(user.c_str());
    if (!account) throw std::runtime_error("no user " + user);
    ::lchown(dir_.c_str(), account->pw_uid, account->pw_gid);
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        ::lchown(entry.path().c_str(), account->pw_uid, account->pw_gid);
}

bool Workspace::exists(const std::string& relative) const { return fs::exists(dir_ / relative); }

ScriptRun Workspace::run(const std::string& program, const std::string& script, const std::string& user) const {
    static std::atomic<int> counter{0};
    std::string stem = ".run" + std::to_string(counter++);
    fs::path scriptFile = dir_ / (stem + ".script");
    fs::path outFile = dir_ / (stem + ".out"), errFile = dir_ / (stem + ".err");
    write(scriptFile.filename().string(), script);
    std::string command = "cd '" + dir_.string() + "' && " + (user.empty() ? "" : "runuser -u " + user + " -- ") +
                          "'" + program + "' --script '" +
                          scriptFile.string() + "' > '" + outFile.string() + "' 2> '" +
                          errFile.string() + "' < /dev/null";
    int raw = std::system(command.c_str());
    ScriptRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(outFile);
    run.err = slurp(errFile);
    fs::remove(scriptFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return run;
}

namespace {
// A step ends with a call whose printed answer marks its end; in an editor,
// its own function (named like the program) with a word it ignores.
std::string stepEnd(const std::string& program) {
    std::string name = fs::path(program).filename().string();
    return name == "main" ? "call deg2rad 1 0\n" : "call " + name + " 0 \"-\"\n";
}
std::string stepEndAnswer(const std::string& program) {
    return fs::path(program).filename() == "main" ? "[0]" : "[]";
}
std::atomic<int> liveSessions{0};
}  // namespace

// One error file per session: two programs may share a folder.
LiveSession::LiveSession(const std::string& program, const fs::path& folder, const std::string& user)
    : errFile_(folder / (".live" + std::to_string(liveSessions++) + ".err")), stepEnd_(stepEnd(program)),
      stepEndAnswer_(stepEndAnswer(program)) {
    int in[2], out[2];
    // Close-on-exec: a session started later must not hold this one's input open.
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        std::FILE* err = std::fopen(errFile_.c_str(), "w");
        if (err) ::dup2(::fileno(err), 2);
        ::close(in[1]);
        ::close(out[0]);
        if (!user.empty()) {
            const passwd* account = ::getpwnam(user.c_str());
            if (!account || ::setgroups(0, nullptr) != 0 || ::setgid(account->pw_gid) != 0 ||
                ::setuid(account->pw_uid) != 0)
                ::_exit(127);
        }
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        ::execl(program.c_str(), program.c_str(), "--script", "-", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toProgram_ = in[1];
    fromProgram_ = ::fdopen(out[0], "r");
}

LiveSession::~LiveSession() { finish(); }

ScriptRun LiveSession::step(const std::string& lines) {
    send(lines + stepEnd_);
    ScriptRun run;
    std::string line;
    while (readLine(line) && line != stepEndAnswer_) run.out += line + "\n";
    run.status = 0;
    return run;
}

void LiveSession::send(const std::string& lines) {
    for (std::size_t done = 0; done < lines.size();) {
        ssize_t n = ::write(toProgram_, lines.data() + done, lines.size() - done);
        if (n <= 0) throw std::runtime_error("write to the program failed");
        done += static_cast<std::size_t>(n);
    }
}

bool LiveSession::readLine(std::string& line) {
    line.clear();
    for (int c; (c = std::fgetc(fromProgram_)) != EOF;) {
        if (c == '\n') return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

int LiveSession::kill(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
    return finish();
}

std::string LiveSession::errors() const { return slurp(errFile_); }

int LiveSession::finish() {
    if (pid_ < 0) return -1;
    ::close(toProgram_);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
    std::fclose(fromProgram_);
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<WindowDump> dumpsOf(const ScriptRun& run) {
    std::vector<WindowDump> dumps;
    std::vector<QJsonObject> current;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        if (!doc.isObject() || !doc.object().contains("type")) continue;
        if (doc.object()["type"].toString() == "figure" && !current.empty()) {
            dumps.emplace_back(std::move(current));
            current.clear();
        }
        current.push_back(doc.object());
    }
    if (!current.empty()) dumps.emplace_back(std::move(current));
    return dumps;
}

std::vector<double> numbers(const QJsonValue& array) {
    std::vector<double> out;
    for (const auto& v : array.toArray()) {
        if (v.isArray())
            for (const auto& inner : v.toArray()) out.push_back(inner.toDouble());
        else
            out.push_back(v.toDouble());
    }
    return out;
}

// Runs the real programs through the host's scripted mode in a temporary
// working folder, and reads back what they showed and wrote.
#pragma once

#include <QJsonArray>
#include <QJsonObject>

#include <filesystem>
#include <string>
#include <vector>

struct ScriptRun {
    int status = -1;
    std::string out, err;
};

// The objects of one window, the window first, in creation order.
class WindowDump {
public:
    explicit WindowDump(std::vector<QJsonObject> objects) : objects_(std::move(objects)) {}
    const std::vector<QJsonObject>& objects() const { return objects_; }
    std::vector<QJsonObject> ofType(const char* type) const;
    // The n-th control (1-based, creation order) and its text.
    QJsonObject control(int n) const;
    std::string controlString(int n) const;
    // The lines of the n-th axes (1-based), in drawing order.
    std::vector<QJsonObject> linesOf(const QJsonObject& axes) const;
    std::vector<std::string> legendLabelsOf(const QJsonObject& axes) const;

private:
    std::vector<QJsonObject> objects_;
};

class Workspace {
public:
    // A fresh folder with data/ and poly/ (unless told otherwise).
    explicit Workspace(bool withFolders = true);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const std::filesystem::path& path() const { return dir_; }
    std::string read(const std::string& relative) const;
    // Makes the user the owner of the folder and all it holds.
    void giveTo(const std::string& user) const;
    void write(const std::string& relative, const std::string& content) const;
    bool exists(const std::string& relative) const;
    // Plays the script with the program started in this folder, as the
    // given user when one is named (through runuser; the tests run as root).
    ScriptRun run(const std::string& program, const std::string& script, const std::string& user = {}) const;

private:
    std::filesystem::path dir_;
};

// A program playing a script read from its standard input, fed step by step,
// so that a test can change files between two steps of one process.
class LiveSession {
public:
    // As the given user when one is named (the tests run as root).
    LiveSession(const std::string& program, const std::filesystem::path& folder, const std::string& user = {});
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;
    // Plays the lines and returns what they printed, once they are done.
    ScriptRun step(const std::string& lines);
    // Sends the lines without waiting for them to be played.
    void send(const std::string& lines);
    // The next line the program prints; false when it has ended.
    bool readLine(std::string& line);
    int pid() const { return pid_; }
    // Ends the script; returns the exit status (-1 when a signal ended it).
    int finish();
    // Ends the program with the signal; returns as finish().
    int kill(int signal);
    // What the program wrote on its standard error so far.
    std::string errors() const;

private:
    std::filesystem::path errFile_;
    std::string stepEnd_, stepEndAnswer_;
    int pid_ = -1;
    int toProgram_ = -1;
    std::FILE* fromProgram_ = nullptr;
};

// Every "dump" of a run's standard output, in order.
std::vector<WindowDump> dumpsOf(const ScriptRun& run);
std::vector<double> numbers(const QJsonValue& array);

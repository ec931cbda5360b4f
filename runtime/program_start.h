// How the programs start: the application every one of them creates, and the
// command line of the tools that read it with Qt's parser (the trainer's
// console, the calibration program), whose options, declared once, give the
// parser, the help text and the runs that show no window.
#pragma once

#include <QApplication>
#include <QCommandLineParser>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

struct ProgramOption {
    // No value name: a switch.
    ProgramOption(QStringList names, QString description, QString valueName = {}, QString defaultValue = {})
        : names(std::move(names)), description(std::move(description)), valueName(std::move(valueName)),
          defaultValue(std::move(defaultValue)) {}
    // Writes a file or prints a result: the run shows no window and needs no display.
    ProgramOption batch() const {
        ProgramOption o = *this;
        o.isBatch = true;
        return o;
    }
    // Names a file, taken in the folder the command was typed in.
    ProgramOption path() const {
        ProgramOption o = *this;
        o.isPath = true;
        return o;
    }
    // Takes these arguments after its value, in this order: --commenter SESSION NUMERO "texte".
    ProgramOption followedBy(QStringList names) const {
        ProgramOption o = *this;
        o.operands = std::move(names);
        return o;
    }

    QStringList names;
    QString description, valueName, defaultValue;
    bool isBatch = false, isPath = false;
    QStringList operands;
};

// A picture of the window, then the end.
extern const ProgramOption kSnapshotOption;

class ProgramStart {
public:
    // `program` names the tool in its usage line when no launcher started it.
    ProgramStart(std::string program, const QString& description, std::vector<ProgramOption> options);

    // Reads the command line and creates the application: Qt's offscreen
    // platform for a batch run or a usage error, Qt's texts in French,
    // numbers with the decimal point. Then prints the help or the usage
    // error: the status to end with (0 after the help, 2 after an error),
    // none to go on. The application keeps `argc` as long as it lives.
    std::optional<int> start(int& argc, char** argv);

    bool isSet(const QString& name) const;
    // A path option's value is taken in the folder the command was typed in.
    QString value(const QString& name) const;
    // Whether the run shows no window.
    bool batch() const;
    // The arguments that follow an option declared followedBy, in order.
    QStringList operands() const { return parser_.positionalArguments(); }

private:
    const ProgramOption& declared(const QString& name) const;
    // Why the arguments left over are not those the options set take; empty when they are.
    QString operandsProblem() const;

    std::string program_;
    std::vector<ProgramOption> options_;
    QCommandLineParser parser_;
    std::unique_ptr<QApplication> application_;
};

// Creates the application of every program: Qt's offscreen platform for a
// run that shows no window, Qt's texts in French, numbers with the decimal
// point whatever the desktop's locale.
std::unique_ptr<QApplication> mclStartApplication(int& argc, char** argv, bool offscreen);

// --snapshot: shows the window, paints it once, lets `settle` finish what it
// shows, saves its picture in `file`; the status to end with.
int saveWindowSnapshot(QWidget& window, const QString& file, const std::function<void()>& settle = {});

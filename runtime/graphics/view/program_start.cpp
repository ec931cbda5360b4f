#include "program_start.h"

#include "host.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <algorithm>
#include <clocale>
#include <cstdio>

const ProgramOption kSnapshotOption =
    ProgramOption({"snapshot"}, "Enregistre une image de la fenêtre et quitte.", "FICHIER.png").batch().path();

namespace {

const ProgramOption kHelpOption = ProgramOption({"h", "help"}, "Affiche cette aide et quitte.").batch();

// Qt's own texts (dialog buttons, file dialogs, command-line help) in French,
// like the rest of the programs.
void useFrenchQtTexts() {
    static QTranslator translator;  // as long as the application
    if (translator.load(QLocale(QLocale::French), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

}  // namespace

std::unique_ptr<QApplication> mclStartApplication(int& argc, char** argv, bool offscreen) {
    if (offscreen) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto application = std::make_unique<QApplication>(argc, argv);
    useFrenchQtTexts();
    std::setlocale(LC_NUMERIC, "C");  // Qt adopted the desktop's locale; numbers keep the decimal point
    return application;
}

ProgramStart::ProgramStart(std::string program, const QString& description, std::vector<ProgramOption> options)
    : program_(std::move(program)), options_(std::move(options)) {
    options_.insert(options_.begin(), kHelpOption);
    parser_.setApplicationDescription(description);
    for (const ProgramOption& o : options_) parser_.addOption({o.names, o.description, o.valueName, o.defaultValue});
}

std::optional<int> ProgramStart::start(int& argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const bool understood = parser_.parse(arguments) && operandsProblem().isEmpty();
    application_ = mclStartApplication(argc, argv, !understood || batch());

    const QString command = QString::fromStdString(mclCommandName(program_));
    // Again, now that Qt's messages are in French.
    const bool parsed = parser_.parse(QCoreApplication::arguments());
    if (!parsed || !operandsProblem().isEmpty()) {
        const QString why = !parsed ? parser_.errorText() : operandsProblem();
        std::fprintf(stderr, "%s : %s\n« %s --help » décrit ses options.\n", qPrintable(command), qPrintable(why),
                     qPrintable(command));
        return 2;
    }
    if (!isSet("help")) return std::nullopt;
    // Qt's usage line names the program's file, which the user did not type.
    QString text = parser_.helpText();
    const QString file = QCoreApplication::arguments().constFirst();
    const auto at = text.indexOf(file);
    if (at >= 0) text.replace(at, file.size(), command);
    std::printf("%s", qPrintable(text));
    return 0;
}

const ProgramOption& ProgramStart::declared(const QString& name) const {
    return *std::find_if(options_.begin(), options_.end(),
                         [&](const ProgramOption& o) { return o.names.contains(name); });
}

QString ProgramStart::operandsProblem() const {
    const QStringList given = parser_.positionalArguments();
    QStringList expected;
    QString taker;
    for (const ProgramOption& o : options_)
        if (!o.operands.isEmpty() && parser_.isSet(o.names.constFirst())) {
            expected << o.operands;
            taker = o.names.constFirst();
        }
    if (given.size() == expected.size()) return {};
    if (expected.isEmpty()) return QStringLiteral("argument « %1 » non reconnu.").arg(given[0]);
    return QStringLiteral("--%1 %2 %3 attendu.").arg(taker, declared(taker).valueName, expected.join(' '));
}

bool ProgramStart::isSet(const QString& name) const { return parser_.isSet(name); }

QString ProgramStart::value(const QString& name) const {
    const QString value = parser_.value(name);
    if (!declared(name).isPath) return value;
    return QString::fromStdString(mclCommandLinePath(value.toStdString()));
}

bool ProgramStart::batch() const {
    return std::any_of(options_.begin(), options_.end(),
                       [&](const ProgramOption& o) { return o.isBatch && parser_.isSet(o.names.constFirst()); });
}

int saveWindowSnapshot(QWidget& window, const QString& file, const std::function<void()>& settle) {
    window.show();
    QCoreApplication::processEvents();
    if (settle) settle();
    return window.grab().save(file) ? 0 : 1;
}

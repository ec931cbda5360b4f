// The class view against a real class database: rows sent by three stations
// show as three ranked tiles, follow new rows live and after a restart of the
// server; the class report and CSV hold every row.
#include "class_database.h"
#include "class_exercise.h"
#include "class_panel.h"
#include "class_tab.h"
#include "class_view.h"
#include "console_window.h"
#include "exercise_panel.h"
#include "journal_follower.h"
#include "postgres_server.h"
#include "session.h"
#include "session_view.h"
#include "station_settings.h"
#include "working_folder.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

const QString kConsole = FORMATEUR_PROGRAM;

// A trial as a station sends it; off is the largest deviation from the target,
// in degrees on A1 (the default tolerance is ±1°).
JournalRow row(const QString& poste, const QString& session, int numero, double off, int minute) {
    JournalRow r;
    r.station = poste;
    r.trainee = "Stagiaire de " + poste;
    r.session = session;
    r.number = numero;
    r.recorded = QStringLiteral("2026-12-07T09:%1:00.000Z").arg(minute, 2, 10, QChar('0'));
    r.setting[0] = 8;
    r.setting[1] = 8;
    r.setting[2] = 61;
    r.setting[3] = 34;
    r.setting[4] = 60;
    r.A1 = 135 + off;
    r.A2 = 135;
    r.H = 30.44;
    r.tooling = 2500.0 * numero;
    r.adjustment = 350.0 * numero;
    r.count = numero;
    r.charged = true;
    return r;
}

Trial trial(const QString& station, const QString& session, int count, double offA1, double cost, int minute) {
    Trial t;
    t.station = station;
    t.session = session;
    t.number = count;
    t.count = count;
    t.time = QDateTime(QDate(2026, 12, 7), QTime(9, minute), Qt::UTC);
    t.setting = {8, 8, 61, 34, 60};
    t.A1 = 135 + offA1;
    t.A2 = 135;
    t.H = 30.44;
    t.tooling = cost;
    return t;
}

// Reached within budget first, then over budget, each by fewer trials, then
// by cost; the others by closeness; then the expected stations with no trial.
// A station is judged on its latest session only.
TEST(ClassRanking, BudgetThenTrialsThenCostThenCloseness) {
    std::map<QString, std::vector<Trial>> rows;
    rows["cher"] = {trial("cher", "a", 1, 3, 100, 1), trial("cher", "a", 2, 0.5, 900, 2)};
    rows["econome"] = {trial("econome", "a", 1, 3, 100, 1), trial("econome", "a", 2, 0.5, 800, 2)};
    rows["lent"] = {trial("lent", "a", 1, 3, 10, 1), trial("lent", "a", 2, 3, 20, 2), trial("lent", "a", 3, 0, 30, 3)};
    rows["proche"] = {trial("proche", "a", 1, 1.5, 5000, 1)};
    rows["loin"] = {trial("loin", "a", 1, 4, 10, 1)};
    rows["depensier"] = {trial("depensier", "a", 1, 0, 20000, 1)};
    // Rows no simulator could make are never ranked.
    rows["tricheur"] = {trial("tricheur", "a", 1, 0, -1e9, 1), trial("tricheur", "a", 2, std::nan(""), 0, 2)};
    // Its earlier session reached the tolerances, the one under way has not.
    rows["reprise"] = {trial("reprise", "old", 1, 3, 100, 1), trial("reprise", "old", 2, 0, 100, 2),
                       trial("reprise", "new", 1, 2, 50, 21)};
    std::vector<QString> order;
    for (const Standing& s : rankClass(rows, Scenario{}, {"absent", "lent"})) order.push_back(s.station);
    EXPECT_EQ(order,
              (std::vector<QString>{"econome", "cher", "lent", "depensier", "proche", "reprise", "loin", "absent", "tricheur"}));
}

// The console edits the station's name and trainee; the rest of classe.ini stays.
TEST(ClassTabTest, EditsPosteAndStagiaireKeepingTheRest) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("classe.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue("classe/poste", "P7");
        settings.setValue("classe/serveur", "host=salle-b dbname=pliage");
        settings.setValue("salle/projecteur", "1280x800");
    }
    ClassTab tab(dir.path());
    const auto fields = tab.findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0]->text(), "P7");
    fields[0]->setText(" Poste 8 ");
    fields[1]->setText("Dupont, Jo");
    ASSERT_TRUE(tab.saveStation());
    StationSettings saved = StationSettings::load(ini);
    EXPECT_EQ(saved.poste, "Poste 8");
    EXPECT_EQ(saved.stagiaire, "Dupont, Jo");
    EXPECT_EQ(saved.serveur, "host=salle-b dbname=pliage");
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("salle/projecteur").toString(), "1280x800");

    // A name with a mark that turns text around would make two tiles look alike.
    fields[1]->setText(QStringLiteral("Dupont\u202e, Jo"));
    EXPECT_FALSE(tab.saveStation());
    EXPECT_EQ(StationSettings::load(ini).stagiaire, "Dupont, Jo");

    // A station needs a name: a blank one is refused and the saved one comes back.
    fields[0]->setText("  ");
    EXPECT_FALSE(tab.saveStation());
    EXPECT_EQ(fields[0]->text(), "Poste 8");
    EXPECT_EQ(StationSettings::load(ini).poste, "Poste 8");
}

// The station's own console says when the station stops reaching the class
// server, once however often the worker finds it so, and when it is back.
TEST(JournalFollowerTest, SaysOnceWhenTheServerCannotBeReached) {
    QTemporaryDir dir;
    StationJournal journal(dir.filePath("journal.sqlite"));
    QString error;
    ASSERT_TRUE(journal.open(&error, "P1")) << error.toStdString();
    JournalFollower follower(dir.path());
    QStringList said;
    QObject::connect(&follower, &JournalFollower::problem, [&](const QString& m) { said << m; });
    ASSERT_TRUE(journal.writeReplicationStatus(false, "Serveur de classe salle-b injoignable.", &error));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }));
    EXPECT_TRUE(said[0].startsWith("Ce poste n'atteint pas le serveur de classe : Serveur de classe salle-b "
                                   "injoignable.")) << said[0].toStdString();
    // The worker tries again and fails again: nothing more is said. The
    // follower looks at the worker's finding every five polls.
    ASSERT_TRUE(journal.writeReplicationStatus(false, "Délai dépassé.", &error));
    QSignalSpy polls(follower.findChild<QTimer*>(), &QTimer::timeout);
    ASSERT_TRUE(QTest::qWaitFor([&] { return polls.size() >= 6; }));
    EXPECT_EQ(said.size(), 1);
    ASSERT_TRUE(journal.writeReplicationStatus(true, "", &error));
    ASSERT_TRUE(QTest::qWaitFor([&] { return said.size() == 2; }));
    EXPECT_TRUE(said[1].contains("de nouveau joignable"));
}

// A server that takes the connection and never answers holds the reading
// thread, not the window; when it hangs up, the view says so.
TEST(ClassPanelTest, AServerThatDoesNotAnswerNeverHoldsTheWindow) {
    int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listening, 1), 0);
    ASSERT_EQ(::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length), 0);

    ClassPanel panel(QStringLiteral("host=127.0.0.1 port=%1 dbname=pliage user=formateur").arg(ntohs(address.sin_port)));
    pollfd waiting{listening, POLLIN, 0};
    ASSERT_EQ(::poll(&waiting, 1, 30'000), 1);
    int link = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(link, 0);
    // The console connects and waits for the server's answer, while the test runs on the window's thread.
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel.problem().isEmpty());
    EXPECT_TRUE(panel.view()->tiles().empty());
    ::close(link);
    ::close(listening);
    EXPECT_FALSE(panel.feed()->waitForFirstRead());
    EXPECT_TRUE(panel.problem().startsWith("Base de classe injoignable")) << panel.problem().toStdString();
    EXPECT_TRUE(panel.view()->findChild<QLabel*>("problem")->isVisibleTo(&panel));
}

// classe.ini's server and the server's own messages are shown as they are
// written, never as markup: a tag stays visible, as typed.
TEST(ClassPanelTest, TextsFromClasseIniAndTheServerAreShownAsPlainText) {
    for (const QString& conninfo : {QStringLiteral("<i>salle-b</i>"),
                                   QStringLiteral("host=127.0.0.1 port=1 dbname=<b>pliage</b> user=formateur")}) {
        ClassPanel panel(conninfo);
        int quoting = 0;
        for (const QLabel* label : panel.findChildren<QLabel*>())
            if (label->text().contains("</")) {
                ++quoting;
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            }
        EXPECT_GT(quoting, 0) << conninfo.toStdString();
    }
}

class ClassServerTest : public ::testing::Test {
protected:
    // One server for the suite; each test starts from an empty table.
    static void SetUpTestSuite() {
        if (!PostgresServer::available()) return;
        server_ = std::make_unique<PostgresServer>();
        conninfo_ = QString::fromStdString(server_->conninfo());
        // A failure here fails every test, rather than letting them all be skipped.
        preparation_ = initClassDatabase(conninfo_, &prepared_);
    }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override {
        if (!server_) GTEST_SKIP() << "PostgreSQL 15 is not installed";
        ASSERT_TRUE(prepared_) << preparation_.toStdString();
        server_->psql("TRUNCATE essais, postes, contacts, exercices");
        auto parsed = ClassServer::parse(conninfo_, nullptr);
        parsed->addConnection("stations");
        ASSERT_TRUE(QSqlDatabase::database("stations").isOpen());
    }
    void TearDown() override {
        if (QSqlDatabase::contains("stations")) QSqlDatabase::removeDatabase("stations");
    }

    void send(const std::vector<JournalRow>& rows) {
        std::vector<JournalEntry> entries;
        for (const JournalRow& r : rows) entries.push_back({0, false, r});
        QSqlDatabase db = QSqlDatabase::database("stations");
        QString error;
        ASSERT_TRUE(sendRows(db, entries, &error)) << error.toStdString();
    }

    // Three stations: P2 in tolerance at its 2nd trial, P3 at its 2nd for
    // more (it started dearer), P1 never, in two sessions.
    void sendClass() {
        send({row("P1", "s1-old", 1, 0.2, 1), row("P1", "s1", 1, 5, 10), row("P1", "s1", 2, 3, 11)});
        send({row("P2", "s2", 1, 4, 2), row("P2", "s2", 2, 0.5, 3), row("P2", "s2", 3, 0.1, 4)});
        auto p3 = row("P3", "s3", 1, 2, 5);
        auto p3b = row("P3", "s3", 2, -0.9, 6);
        p3b.tooling += 100;
        send({p3, p3b});
    }

    static inline std::unique_ptr<PostgresServer> server_;
    static inline QString conninfo_;
    static inline bool prepared_ = false;
    static inline QString preparation_;
};

// French numbers group thousands with a narrow space; plain spaces read better here.
std::vector<QStringList> tileTexts(const ClassView& view) {
    std::vector<QStringList> out;
    for (StationTile* tile : view.tiles()) out.push_back(tile->texts().replaceInStrings(QChar(0x202f), " "));
    return out;
}

TEST_F(ClassServerTest, StationsShowAsRankedTilesThatFollowNewRows) {
    sendClass();
    ClassPanel panel(conninfo_);
    ASSERT_TRUE(panel.feed()->waitForFirstRead()) << panel.problem().toStdString();
    ClassView& view = *panel.view();
    panel.resize(1280, 800);
    panel.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tiles().size() == 3; }));  // drawn once the rows are read
    auto texts = tileTexts(view);
    EXPECT_EQ(texts[0], (QStringList{"1", "P2", "Stagiaire de P2", "1re réussite : n° 2 · 5 700 €",
                                     "Session : 3 essais · 8 550 €",
                                     "Meilleur essai, n° 3 : son plus grand écart vaut 0,10 fois la tolérance", "",
                                     "Réussi à l'essai n° 2"}));
    EXPECT_EQ(texts[1][1], "P3");
    EXPECT_EQ(texts[1][7], "Réussi à l'essai n° 2");
    // P1 is judged on its latest session only: its good first session does not count.
    EXPECT_EQ(texts[2][1], "P1");
    EXPECT_EQ(texts[2][4], "Session : 2 essais · 5 700 €");
    EXPECT_EQ(texts[2][7], "Hors tolérances");
    EXPECT_TRUE(panel.feed()->notificationsWork());

    // P1 succeeds at its 3rd trial, then a fourth station comes: both show
    // without a poll, the ranking follows.
    send({row("P1", "s1", 3, 0, 12)});
    send({row("P4", "s4", 1, 9, 13)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tiles().size() == 4 && view.tiles()[2]->texts()[1] == "P1"; },
                                ClassFeed::kSafetyPollMs - 500));
    EXPECT_EQ(view.tiles()[2]->texts()[7], "Réussi à l'essai n° 3");
    EXPECT_EQ(view.tiles()[3]->texts()[1], "P4");

    // Clicking a tile opens the station's latest session, and it follows.
    QTest::mouseClick(view.tiles()[1], Qt::LeftButton);
    auto* session = view.findChild<SessionView*>();
    ASSERT_TRUE(session && session->isVisible());
    EXPECT_EQ(session->trials().size(), 2u);
    EXPECT_EQ(session->trials().back().station, "P3");

    // A crash of the server: the view says so, then catches up once it is back.
    server_->stopImmediately();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.findChild<QLabel*>("problem")->isVisible(); }, 15000));
    server_->start();
    QSqlDatabase::database("stations").close();
    ASSERT_TRUE(QSqlDatabase::database("stations").open());
    send({row("P3", "s3", 3, 0, 14)});
    // The rows and the end of the problem come from one poll, told one after the other.
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->trials().size() == 3; }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.findChild<QLabel*>("problem")->isVisible(); }));
    EXPECT_EQ(panel.feed()->allRows().size(), 11u);
}

// The colours a tile is drawn in: its border, and its verdict's background.
std::pair<QRgb, QRgb> tileColours(StationTile* tile) {
    const QImage picture = tile->grab().toImage();
    const QPoint verdict = tile->findChild<QLabel*>("verdict")->geometry().topLeft() + QPoint(2, 2);
    return {picture.pixel(1, picture.height() / 2), picture.pixel(verdict)};
}

// A room as the trainer sets it up: a roster of six where one station never
// came, one is silent, two PCs share a name; results change live and each
// tile is drawn as a freshly opened view draws it.
TEST_F(ClassServerTest, TilesFollowRanksRosterSharedNamesAndSilence) {
    Workspace w;
    w.write("postes.txt", "P1\n  P2 \n\nP3\nP4\nP5\nP6\n");
    QProcess console;
    console.start(kConsole, {"--postes", QString::fromStdString((w.path() / "postes.txt").string()), "--serveur",
                             conninfo_});
    ASSERT_TRUE(console.waitForFinished(30000));
    ASSERT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();
    EXPECT_EQ(server_->psql("SELECT string_agg(nom, ',' ORDER BY nom) FROM postes"), "P1,P2,P3,P4,P5,P6\n");

    Scenario tight;
    tight.budget = 5000;  // a trial costs 2 850 € more than the one before
    send({row("P1", "s1", 1, 3, 1), row("P2", "s2", 1, 0, 2)});
    auto p4 = row("P4", "s4a", 1, 2, 3), p4other = row("P4", "s4b", 1, 5, 4);
    p4.installation = "aaaaaaaa-1111";
    p4other.installation = "bbbbbbbb-2222";
    send({p4, p4other});
    server_->psql("INSERT INTO contacts (poste, installation, ouvert, vu) VALUES "
                  "('P5', 'x', true, now() - interval '5 minutes'), ('P2', 'y', false, now())");
    ClassPanel panel(conninfo_);
    panel.setScenario(tight);
    ASSERT_TRUE(panel.feed()->waitForFirstRead()) << panel.problem().toStdString();
    ClassView& view = *panel.view();
    panel.resize(1280, 800);
    panel.show();
    auto stations = [&] {
        QStringList out;
        for (StationTile* t : view.tiles()) out << t->texts()[1] + '/' + t->texts()[7];
        return out;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tiles().size() == 7; })) << stations().join(' ').toStdString();
    EXPECT_EQ(stations(), (QStringList{"P2/Réussi à l'essai n° 1", "P4/Hors tolérances", "P1/Hors tolérances",
                                       "P4/Hors tolérances", "P3/Jamais vu", "P5/Injoignable", "P6/Jamais vu"}));
    EXPECT_TRUE(view.tiles()[5]->texts()[6].startsWith("Injoignable depuis "));
    EXPECT_TRUE(view.tiles()[0]->texts()[6].startsWith("Simulateur fermé à "));
    EXPECT_TRUE(view.tiles()[1]->texts()[2].endsWith("PC aaaaaaaa"));
    auto* warning = view.findChild<QLabel*>("warning");
    EXPECT_TRUE(warning->isVisibleTo(&panel));
    EXPECT_TRUE(warning->text().contains("Deux postes portent le nom « P4 »")) << warning->text().toStdString();

    // P1 succeeds over budget, then P3 comes and succeeds within it: the tiles
    // move and take their new colours.
    send({row("P1", "s1", 2, 0, 5)});
    send({row("P3", "s3", 1, 0.5, 6)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return stations().mid(0, 3) == QStringList{"P2/Réussi à l'essai n° 1", "P3/Réussi à l'essai n° 1",
                                                                          "P1/Réussi (n° 2), hors budget"}; }))
        << stations().join(' ').toStdString();
    EXPECT_EQ(tileTexts(view)[2][3], "1re réussite : n° 2 · 5 700 €");
    EXPECT_EQ(tileColours(view.tiles()[1]).second, QColor(0, 120, 50).rgb());
    EXPECT_EQ(tileColours(view.tiles()[2]).second, QColor(200, 100, 0).rgb());
    ClassView fresh(panel.feed(), "fraîche");
    fresh.setScenario(tight);
    fresh.resize(view.size());
    fresh.show();
    ASSERT_EQ(fresh.tiles().size(), view.tiles().size());
    for (std::size_t i = 0; i < view.tiles().size(); ++i) {
        EXPECT_EQ(fresh.tiles()[i]->texts(), view.tiles()[i]->texts()) << i;
        EXPECT_EQ(tileColours(fresh.tiles()[i]), tileColours(view.tiles()[i])) << i;
    }
    // No two tiles overlap.
    for (std::size_t i = 1; i < view.tiles().size(); ++i)
        EXPECT_FALSE(view.tiles()[i]->geometry().intersects(view.tiles()[i - 1]->geometry())) << i;
}

// A station's own console may only send: its tab says what it sends and where.
// A station that floods the class, with rows and with notifications of any
// payload, holds neither the other stations' tiles nor the console's memory:
// the view keeps its latest rows, says how many it leaves out, and another
// station's row shows long before the safety poll.
TEST_F(ClassServerTest, AFloodingStationDelaysNoOtherAndIsHeldToItsLatestRows) {
    const std::string copies = "INSERT INTO essais (" + journalColumns().join(", ").toStdString() +
                               ") SELECT poste, stagiaire, session, g, heure, a, r, l, c, f, a1, a2, h, cout_outillage, "
                               "cout_reglage, g, facture, installation, exercice, empreinte "
                               "FROM essais, generate_series(%1, %2) g "
                               "WHERE poste = 'P9' AND numero = 1;";
    auto flood = [&](int from, int to) {
        return QString::fromStdString(copies).arg(from).arg(to).toStdString();
    };
    send({row("P9", "s9", 1, 0.5, 1), row("P1", "s1", 1, 5, 1)});
    server_->psql(flood(2, 12'000));
    ClassPanel panel(conninfo_);
    ASSERT_TRUE(panel.feed()->waitForFirstRead()) << panel.problem().toStdString();
    const ClassView& view = *panel.view();
    auto tileOf = [&](const QString& station) {
        for (StationTile* tile : view.tiles())
            if (tile->texts()[1] == station) return tile->texts().replaceInStrings(QChar(0x202f), " ");
        return QStringList();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return tileOf("P9").size() == 8; }));
    EXPECT_TRUE(tileOf("P9")[4].contains("7 000 essais plus anciens sur le serveur, non lus : la vue garde les "
                                         "5 000 derniers de chaque poste")) << tileOf("P9")[4].toStdString();
    EXPECT_EQ(panel.feed()->stations().at("P9").size(), std::size_t(ClassFeed::kRowsKept));

    server_->psql(flood(12'001, 30'000) + "SELECT count(pg_notify('essais', g::text)) FROM generate_series(1, 100000) g;");
    send({row("P1", "s1", 2, 0, 2)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tileOf("P1").value(7) == "Réussi à l'essai n° 2"; },
                                ClassFeed::kSafetyPollMs - 500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tileOf("P9").value(4).contains("25 000 essais plus anciens"); }, 15000))
        << tileOf("P9").value(4).toStdString();
    EXPECT_EQ(panel.feed()->stations().at("P9").size(), std::size_t(ClassFeed::kRowsKept));
    EXPECT_EQ(panel.feed()->stations().at("P9").back().count, 30'000);
}

TEST_F(ClassServerTest, AStationsOwnTabSaysWhatItSends) {
    server_->psql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'poste_seul') THEN "
                  "CREATE ROLE poste_seul LOGIN IN ROLE pliage_poste; END IF; END $$");
    ClassPanel panel(QString::fromStdString(server_->conninfo("postgres", "poste_seul")));
    panel.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.findChild<QLabel*>("envoi") != nullptr; }));
    EXPECT_TRUE(panel.findChild<QLabel*>("envoi")->text().startsWith("Ce poste envoie ses essais à la base de classe "));
    EXPECT_FALSE(panel.view()->isVisible());
}

TEST_F(ClassServerTest, ReportAndCsvHoldEveryRowOfTheClass) {
    sendClass();
    auto awkward = row("P2", "s2", 4, 0, 20);
    awkward.trainee = "Dupont, \"Jo\"";
    send({awkward});
    Workspace w;
    QProcess console;
    console.setWorkingDirectory(QString::fromStdString(w.path().string()));
    console.start(kConsole, {"--classe", "--serveur", conninfo_, "--csv", "classe.csv", "--report", "classe.pdf",
                             "--csv-fr", "tableur.csv"});
    ASSERT_TRUE(console.waitForFinished(30000));
    ASSERT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();

    const QStringList csv = QString::fromStdString(w.read("classe.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 1 + 9);
    EXPECT_TRUE(csv[0].startsWith("poste,stagiaire,numero,heure,session,"));
    EXPECT_TRUE(csv.contains(QRegularExpression("^P1,Stagiaire de P1,1,[^,]+,s1-old,.*,réussi$")));
    EXPECT_TRUE(csv.contains(QRegularExpression("^P2,\"Dupont, \"\"Jo\"\"\",4,.*,hors budget$"))) << csv.join('\n').toStdString();
    // For a French spreadsheet: the same rows, ";" and decimal commas.
    const QStringList french = QString::fromStdString(w.read("tableur.csv")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(french.size(), csv.size());
    EXPECT_TRUE(french[0].startsWith("\uFEFFposte;stagiaire;numero;heure;session;"));
    EXPECT_TRUE(french.contains(QRegularExpression("^P2;\"Dupont, \"\"Jo\"\"\";4;.*;hors budget$")));
    EXPECT_EQ(french.filter(QRegularExpression(";\\d+,\\d+;")).size(), 9) << french.join('\n').toStdString();

    QProcess text;
    text.start("pdftotext", {"-layout", QString::fromStdString((w.path() / "classe.pdf").string()), "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(pdf.count('\f'), 4) << "a summary page and a page a station";
    EXPECT_TRUE(pdf.contains("Rapport de la classe"));
    // Every row is in the report: each was made at its own minute.
    for (int minute : {1, 10, 11, 2, 3, 4, 5, 6, 20})
        EXPECT_TRUE(pdf.contains(QTime(9, minute).addSecs(QDateTime::currentDateTime().offsetFromUtc())
                                     .toString("HH:mm:ss")))
            << minute;

    // No server: a clear message, status 1, nothing written.
    console.start(kConsole, {"--classe", "--serveur", "postgresql://nobody@127.0.0.1:1/pliage", "--csv", "x.csv"});
    ASSERT_TRUE(console.waitForFinished(30000));
    EXPECT_EQ(console.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(console.readAllStandardError()).contains("injoignable"));
    EXPECT_FALSE(w.exists("x.csv"));
}

// During an exam the tiles are the exam's: each station judged on all its
// rows of it, any session, by its tolerances and budget; a row made after its
// end or beyond its largest number of trials is out of it, one made with
// another model is flagged, and neither counts. Its report and CSV say the
// same, the exam's name shown as typed.
TEST_F(ClassServerTest, AnExamJudgesEachStationOnItsOwnRowsAndItsReportSaysWhy) {
    ClassExercise exam;
    exam.name = "<b>Examen</b> du 8";
    exam.toleranceA1 = 1.5;
    exam.budget = 9000;
    exam.minutes = 30;
    exam.maxTrials = 3;
    exam.exam = true;
    exam.fingerprint = "intégrés";
    QSqlDatabase db = QSqlDatabase::database("stations");
    QString error;
    const std::optional<int> number = startExercise(db, exam, &error);
    ASSERT_TRUE(number) << error.toStdString();
    auto made = [&](JournalRow r, const QString& fingerprint = "intégrés") {
        r.exercise = *number;
        r.fingerprint = fingerprint;
        return r;
    };
    // P1: a trial before the exam, then three in it over two sessions (its
    // account runs on, then starts again), the third in tolerance; a fourth
    // is one too many.
    send({row("P1", "a", 1, 5, 1), made(row("P1", "a", 2, 4, 2)), made(row("P1", "a", 3, 3, 3)),
          made(row("P1", "b", 1, 1.2, 4)), made(row("P1", "b", 2, 0, 5))});
    // P2 in tolerance, but with another model than the exam's.
    send({made(row("P2", "c", 1, 0, 2), "autre"), made(row("P2", "c", 2, 0, 3), "autre")});
    // P3 at once, then once more after the exam's end by the server's clock.
    send({made(row("P3", "d", 1, 0.5, 2)), made(row("P3", "d", 2, 0, 3))});
    server_->psql("UPDATE essais SET recu = (SELECT debut + interval '31 minutes' FROM exercices) "
                  "WHERE poste = 'P3' AND numero = 2");

    ClassPanel panel(conninfo_);
    ASSERT_TRUE(panel.feed()->waitForFirstRead()) << panel.problem().toStdString();
    ClassView& view = *panel.view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.tiles().size() == 3 && panel.feed()->exercise(); }));
    QTest::qWait(0);
    const auto texts = tileTexts(view);
    EXPECT_EQ(texts[0], (QStringList{"1", "P3", "Stagiaire de P3", "1re réussite : n° 1 · 2 850 €",
                                     "Exercice : 1 essai · 2 850 €",
                                     "Meilleur essai, n° 1 : son plus grand écart vaut 0,33 fois la tolérance", "",
                                     "Réussi à l'essai n° 1", "1 essai hors exercice, non compté"}));
    EXPECT_EQ(texts[1][1], "P1");
    EXPECT_EQ(texts[1][4], "Exercice : 3 essais · 8 550 €");
    EXPECT_EQ(texts[1][7], "Réussi à l'essai n° 3");
    EXPECT_EQ(texts[1][8], "1 essai hors exercice, non compté");
    EXPECT_EQ(texts[2][1], "P2");
    EXPECT_EQ(texts[2][7], "Modèle modifié");
    EXPECT_EQ(texts[2][8], "2 essais au modèle modifié, non comptés");
    const QString header = view.findChildren<QLabel*>().at(1)->text();
    EXPECT_TRUE(header.contains(QStringLiteral("Examen n° %1 « <b>Examen</b> du 8 »").arg(*number))) << header.toStdString();
    EXPECT_TRUE(view.findChild<QLabel*>("temps")->text().contains(
        QRegularExpression("^Temps restant : (29|30) min \\d\\d s · 3 essais au plus$")))
        << view.findChild<QLabel*>("temps")->text().toStdString();

    Workspace w;
    QProcess console;
    console.setWorkingDirectory(QString::fromStdString(w.path().string()));
    console.start(kConsole, {"--classe", "--exercice", QString::number(*number), "--serveur", conninfo_, "--csv",
                             "examen.csv", "--report", "examen.pdf"});
    ASSERT_TRUE(console.waitForFinished(30000));
    ASSERT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();
    const QStringList csv = QString::fromStdString(w.read("examen.csv")).split('\n', Qt::SkipEmptyParts);
    QStringList statuses;
    for (const QString& line : csv.mid(1)) statuses << line.section(',', 0, 0) + ' ' + line.section(',', -1);
    EXPECT_EQ(statuses, (QStringList{"P3 compte", "P3 hors exercice", "P1 compte", "P1 compte", "P1 compte",
                                     "P1 hors exercice", "P2 modèle modifié", "P2 modèle modifié"}));
    QProcess text;
    text.start("pdftotext", {"-layout", QString::fromStdString((w.path() / "examen.pdf").string()), "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(pdf.count('\f'), 4) << "a summary page and a page a station";
    pdf = pdf.replace(QChar(0x202f), ' ').replace(QChar(0xfb01), "fi").replace(QChar(0xfb03), "ffi").simplified();
    for (const QString& expected :
         {QStringLiteral("Rapport de l'exercice n° %1 — <b>Examen</b> du 8").arg(*number),
          QStringLiteral("Durée : 30 min. Essais : 3 au plus. Modèle : coefficients intégrés."), QStringLiteral("1 P3 Stagiaire de P3 Réussi 1 2 850"),
          QStringLiteral("2 P1 Stagiaire de P1 Réussi 3 8 550"), QStringLiteral("3 P2 Stagiaire de P2 Non réussi 0 0"),
          QStringLiteral("Examen : 4 essais comptés ; non comptés : 2 essais au modèle modifié, 2 essais hors exercice.")})
        EXPECT_TRUE(pdf.contains(expected)) << expected.toStdString() << "\n" << pdf.toStdString();

    console.start(kConsole, {"--classe", "--exercice", "99", "--serveur", conninfo_, "--csv", "x.csv"});
    ASSERT_TRUE(console.waitForFinished(30000));
    EXPECT_EQ(console.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(console.readAllStandardError()).contains("pas d'exercice n° 99"));
}

// The trainer starts an exam from the console's « Classe » tab, with the
// console's scenario and model; meanwhile the console, often projected to
// the room, hides the best setting until asked; « Arrêter » ends it.
TEST_F(ClassServerTest, TheConsoleStartsAndStopsAnExamAndHidesTheSolutionMeanwhile) {
    const WorkingFolder in;
    std::filesystem::create_directory("data");
    QSettings("data/classe.ini", QSettings::IniFormat).setValue("classe/serveur", conninfo_);
    ConsoleWindow window;
    window.showTab("Classe");
    window.show();
    ExercisePanel* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (panel = window.findChild<ExercisePanel*>()) != nullptr; }));
    panel->setConfirming(false);
    auto labelStartingWith = [&](const QString& start) {
        for (QLabel* label : window.findChildren<QLabel*>())
            if (label->text().trimmed().startsWith(start)) return label->text().trimmed();
        return QString();
    };
    auto solutionShown = [&] {
        return labelStartingWith("Meilleur réglage : A = ").size() > 0 &&
               !labelStartingWith("Meilleur réglage des modèles utilisés : A = ").isEmpty();
    };
    EXPECT_TRUE(solutionShown());

    EXPECT_FALSE(panel->startForClass());  // no name yet
    EXPECT_FALSE(labelStartingWith("Exercice non démarré : ligne 1 (« nom= ») : le nom a de 1 à 200").isEmpty());
    panel->findChild<QLineEdit*>()->setText("Pliage à 90°");
    panel->findChild<QDoubleSpinBox*>()->setValue(20);
    panel->findChild<QComboBox*>()->setCurrentIndex(1);
    ASSERT_TRUE(panel->startForClass());
    EXPECT_EQ(server_->psql("SELECT nom || '|' || mode || '|' || duree_minutes || '|' || (essais_max IS NULL) || '|' "
                            "|| tolerance_a1 || '|' || empreinte FROM exercices WHERE fin IS NULL"),
              "Pliage à 90°|examen|20|true|1|intégrés\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !labelStartingWith("Solution masquée").isEmpty(); }));
    EXPECT_FALSE(solutionShown());
    EXPECT_FALSE(labelStartingWith("Meilleur réglage des modèles utilisés : masqué").isEmpty());
    EXPECT_FALSE(labelStartingWith("En cours : examen n° ").isEmpty());
    QPushButton* reveal = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == "Afficher la solution") reveal = button;
    ASSERT_TRUE(reveal && !reveal->isHidden());
    reveal->click();
    EXPECT_TRUE(solutionShown());

    ASSERT_TRUE(panel->stopRunning());
    EXPECT_EQ(server_->psql("SELECT count(*) FROM exercices WHERE fin IS NULL"), "0\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return reveal->isHidden(); }));
    EXPECT_TRUE(solutionShown());
    EXPECT_FALSE(labelStartingWith("Aucun exercice en cours").isEmpty());
}

}  // namespace

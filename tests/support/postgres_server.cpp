#include "postgres_server.h"

#include <fstream>
#include <QProcess>
#include <QStringList>

#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kBin = "/usr/lib/postgresql/15/bin/";

// Runs a program as postgres (a server program when the name has no folder);
// returns its standard output.
std::string runAsPostgres(const std::string& program, const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    QStringList all = args;
    QString command = QString::fromStdString(program.find('/') == std::string::npos ? kBin + program : program);
    if (::getuid() == 0) {
        all = QStringList{"-u", "postgres", "--", command} + args;
        command = "runuser";
    }
    p.setWorkingDirectory("/");
    p.start(command, all);
    const bool finished = p.waitForFinished(120'000);
    const bool good = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok) *ok = good;
    if (!good && !ok)
        throw std::runtime_error(program + " failed: " + p.readAllStandardError().toStdString());
    return p.readAllStandardOutput().toStdString();
}

int freePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        throw std::runtime_error("no free port");
    ::close(s);
    return ntohs(a.sin_port);
}

}  // namespace

bool PostgresServer::available() {
    return fs::exists(kBin + "initdb") && fs::exists(kBin + "pg_ctl") && ::getpwnam("postgres") != nullptr;
}

PostgresServer::PostgresServer() {
    char pattern[] = "/tmp/vbend_pg_XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    const passwd* pg = ::getpwnam("postgres");
    if (!pg || (::getuid() == 0 && ::chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0))
        throw std::runtime_error("cannot give the folder to postgres");
    port_ = freePort();
    runAsPostgres("initdb", {"-D", QString::fromStdString((dir_ / "db").string()), "-A", "trust", "-U",
                             "postgres", "--no-sync", "-E", "UTF8", "--locale", "C"});
    start();
}

PostgresServer::~PostgresServer() {
    if (running_) {
        bool ok;
        stop(&ok);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

std::string PostgresServer::conninfo(const std::string& database, const std::string& user) const {
    return "host=" + host() + " port=" + std::to_string(port_) + " dbname=" + database + " user=" + user;
}

void PostgresServer::start() {
    const QString options = QString("-k %1 -p %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(QString::fromStdString(dir_.string()))
                                .arg(port_);
    runAsPostgres("pg_ctl", {"-D", QString::fromStdString((dir_ / "db").string()), "-o", options, "-l",
                             QString::fromStdString((dir_ / "log").string()), "-w", "start"});
    running_ = true;
}

void PostgresServer::addRule(const std::string& rule) {
    const std::filesystem::path rules = dir_ / "db" / "pg_hba.conf";
    std::ifstream in(rules);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(rules) << rule << "\n" << before;
    runAsPostgres("pg_ctl", {"-D", QString::fromStdString((dir_ / "db").string()), "reload"});
}

std::string PostgresServer::enableTls() {
    const QString db = QString::fromStdString((dir_ / "db").string());
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    std::ofstream((dir_ / "db" / "san.ext").string()) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    runAsPostgres("/usr/bin/openssl", QStringList{"req", "-x509", "-days", "2", "-subj", "/CN=Classe de test", "-keyout",
                                                  db + "/ca.key", "-out", db + "/ca.crt"} + key);
    runAsPostgres("/usr/bin/openssl", QStringList{"req", "-subj", "/CN=localhost", "-keyout", db + "/server.key",
                                                  "-out", db + "/server.csr"} + key);
    runAsPostgres("/usr/bin/openssl", {"x509", "-req", "-days", "2", "-in", db + "/server.csr", "-CA", db + "/ca.crt",
                                       "-CAkey", db + "/ca.key", "-CAcreateserial", "-extfile", db + "/san.ext",
                                       "-out", db + "/server.crt"});
    psql("ALTER SYSTEM SET ssl = on");
    psql("SELECT pg_reload_conf()");
    // A new session reads the settings once the server has reloaded them.
    for (int tries = 0; tries < 500 && psql("SHOW ssl") != "on\n"; ++tries) {
    }
    return (dir_ / "db" / "ca.crt").string();
}

void PostgresServer::stop(bool* ok) {
    runAsPostgres("pg_ctl", {"-D", QString::fromStdString((dir_ / "db").string()), "-m", "immediate", "-w", "stop"},
                  ok);
}

void PostgresServer::stopImmediately() {
    stop(nullptr);
    running_ = false;
}

std::string PostgresServer::psql(const std::string& sql, const std::string& database) const {
    return runAsPostgres("psql", {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h",
                                  QString::fromStdString(host()), "-p", QString::number(port_), "-U", "postgres",
                                  "-d", QString::fromStdString(database), "-c", QString::fromStdString(sql)});
}

#include "class_database.h"

#include "postgresql_client.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>

#include <algorithm>
#include <memory>

namespace {

// Keys libpq would otherwise take from the system's defaults, which let a
// station wait minutes for a host that vanished.
const std::pair<const char*, const char*> kDefaults[] = {
    {"connect_timeout", "5"}, {"keepalives_idle", "10"}, {"keepalives_interval", "5"}, {"keepalives_count", "3"}};

// A path under a device, which no one can create.
const QString kNoPasswordFile = QStringLiteral("/dev/null/aucun-mot-de-passe");

QString quoted(const QString& value) {
    QString v = value;
    v.replace('\\', "\\\\").replace('\'', "\\'");
    return '\'' + v + '\'';
}

// Version 1: the rows, and the trigger that notifies each new one.
const char* const kSchemaV1[] = {
    R"(CREATE FUNCTION essais_notifie() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('essais', NEW.poste);
  RETURN NULL;
END $$)",
    "CREATE TRIGGER essais_notifie AFTER INSERT ON essais FOR EACH ROW EXECUTE FUNCTION essais_notifie()",
};

// Version 2: the installation that sent each row, the roster of the stations
// the trainer expects, and each station's latest sign of life, which it gives
// through a function so that it touches nothing else. Each station has a role
// of its own and may insert only rows under its own name, with values a
// trial can have; the server alone sets when it received a row. Rows already
// there are kept as they are (NOT VALID).
const char* const kSchemaV2[] = {
    R"(ALTER TABLE essais ADD CONSTRAINT essais_valeurs CHECK (
  length(poste) BETWEEN 1 AND 64 AND poste !~ '[[:cntrl:]]' AND length(stagiaire) <= 64
  AND stagiaire !~ '[[:cntrl:]]' AND length(session) <= 64 AND length(heure) <= 40
  AND length(installation) <= 64 AND numero > 0 AND nb_essais >= 0 AND facture IN (0, 1)
  AND a BETWEEN 0 AND 1000 AND r BETWEEN 0 AND 1000 AND l BETWEEN 0 AND 1000 AND c BETWEEN 0 AND 1000
  AND f BETWEEN 0 AND 1000 AND a1 BETWEEN -1000 AND 1000 AND a2 BETWEEN -1000 AND 1000
  AND h BETWEEN -1000 AND 1000 AND cout_outillage BETWEEN 0 AND 1e9 AND cout_reglage BETWEEN 0 AND 1e9
) NOT VALID)",
    "ALTER TABLE essais ENABLE ROW LEVEL SECURITY",
    "CREATE POLICY poste_insere_les_siens ON essais FOR INSERT TO pliage_poste WITH CHECK (poste = session_user)",
    "CREATE POLICY formateur_lit ON essais FOR SELECT TO pliage_formateur USING (true)",
    "CREATE TABLE postes (nom text PRIMARY KEY)",
    R"(CREATE TABLE contacts (
  poste text NOT NULL, installation text NOT NULL, ouvert boolean NOT NULL,
  vu timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (poste, installation)))",
    R"(CREATE FUNCTION signale_poste(p text, i text, o boolean) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
  INSERT INTO contacts (poste, installation, ouvert)
  SELECT p, left(i, 64), o WHERE p = session_user
  ON CONFLICT (poste, installation) DO UPDATE SET ouvert = excluded.ouvert, vu = now()
$$)",
};

// Version 3: the exercises the trainer runs for the class, one at a time
// (the one whose end is not set), each with the model every station
// evaluates during it (none: the built-in coefficients), on the server's
// clock; each start and end is notified to the stations. Each row says in
// which exercise it was made and what coefficients it evaluated.
const char* const kSchemaV3[] = {
    "ALTER TABLE essais ADD CONSTRAINT essais_exercice CHECK (exercice >= 0 AND length(empreinte) <= 64) NOT VALID",
    R"(CREATE TABLE exercices (
  numero integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  nom text NOT NULL CHECK (length(nom) BETWEEN 1 AND 200 AND nom !~ '[[:cntrl:]]'),
  tolerance_a1 double precision NOT NULL CHECK (tolerance_a1 > 0 AND tolerance_a1 <= 1000),
  tolerance_a2 double precision NOT NULL CHECK (tolerance_a2 > 0 AND tolerance_a2 <= 1000),
  tolerance_h double precision NOT NULL CHECK (tolerance_h > 0 AND tolerance_h <= 1000),
  budget double precision NOT NULL CHECK (budget >= 0 AND budget <= 1e9),
  duree_minutes double precision CHECK (duree_minutes > 0 AND duree_minutes <= 1440),
  essais_max integer CHECK (essais_max > 0),
  mode text NOT NULL CHECK (mode IN ('entrainement', 'examen')),
  modele_a1 bytea, modele_a2 bytea, modele_h bytea,
  empreinte text NOT NULL CHECK (length(empreinte) <= 64),
  debut timestamptz NOT NULL DEFAULT now(),
  fin timestamptz,
  CHECK ((modele_a1 IS NULL) = (modele_a2 IS NULL) AND (modele_a2 IS NULL) = (modele_h IS NULL))))",
    "CREATE UNIQUE INDEX exercice_en_cours ON exercices ((true)) WHERE fin IS NULL",
    R"(CREATE FUNCTION exercices_notifie() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('exercices', NEW.numero::text);
  RETURN NULL;
END $$)",
    "CREATE TRIGGER exercices_notifie AFTER INSERT OR UPDATE ON exercices FOR EACH ROW "
    "EXECUTE FUNCTION exercices_notifie()",
};

// Version 4: the trainer's comments on the trials, for the debrief; the
// stations' role gets nothing of them.
const char* const kSchemaV4[] = {
    R"(CREATE TABLE commentaires (
  poste text NOT NULL, session text NOT NULL, numero integer NOT NULL,
  texte text NOT NULL CHECK (length(texte) > 0), modifie timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (poste, session, numero)))",
};

// The two roles, before any policy names them.
const char* const kRoles = R"(DO $$ BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'pliage_poste') THEN CREATE ROLE pliage_poste NOLOGIN; END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'pliage_formateur') THEN CREATE ROLE pliage_formateur NOLOGIN; END IF;
END $$)";

// The table of rows as the first version made it.
QString createEssais() {
    QStringList columns;
    for (const JournalColumn& c : journalLayout())
        if (c.since == 1) columns << c.definition(SqlDialect::PostgreSQL);
    return QStringLiteral("CREATE TABLE essais (%1, recu timestamptz NOT NULL DEFAULT now(), "
                          "PRIMARY KEY (poste, session, numero))").arg(columns.join(", "));
}

// The statements that bring the class database from version - 1 to version:
// the table or the row's columns that came with it, then the rest.
QStringList schemaStatements(int version) {
    QStringList statements;
    if (version == 1) statements << createEssais();
    for (const JournalColumn& c : journalLayout())
        if (version > 1 && c.since == version)
            statements << "ALTER TABLE essais ADD COLUMN " + c.definition(SqlDialect::PostgreSQL);
    auto add = [&statements](const auto& rest) {
        for (const char* sql : rest) statements << sql;
    };
    if (version == 1) add(kSchemaV1);
    if (version == 2) add(kSchemaV2);
    if (version == 3) add(kSchemaV3);
    if (version == 4) add(kSchemaV4);
    return statements;
}

// What every run makes sure of, whatever the version: the rights, and the
// index the console reads each station's rows by, a page at a time.
const char* const kAccess[] = {
    "CREATE INDEX IF NOT EXISTS essais_lecture ON essais (poste, recu, heure, numero, session)",
    "REVOKE ALL ON essais, version_schema, postes, contacts, exercices, commentaires FROM PUBLIC",
    "REVOKE ALL ON FUNCTION signale_poste(text, text, boolean) FROM PUBLIC",
    "REVOKE INSERT ON essais FROM pliage_poste",
    "GRANT EXECUTE ON FUNCTION signale_poste(text, text, boolean) TO pliage_poste",
    "GRANT SELECT ON essais, version_schema, contacts TO pliage_formateur",
    "GRANT SELECT, INSERT, DELETE ON postes TO pliage_formateur",
    "GRANT SELECT, INSERT, UPDATE (fin) ON exercices TO pliage_formateur",
    "GRANT SELECT ON exercices TO pliage_poste",
    "GRANT SELECT, INSERT, UPDATE, DELETE ON commentaires TO pliage_formateur",
};

}  // namespace

std::optional<ClassServer> ClassServer::parse(const QString& conninfo, QString* error) {
    const PostgresqlClient* pq = postgresqlClient(error);
    if (!pq) return std::nullopt;
    char* message = nullptr;
    std::unique_ptr<PQconninfoOption, decltype(pq->conninfoFree)> options(
        pq->conninfoParse(conninfo.toUtf8().constData(), &message), pq->conninfoFree);
    if (!options) {
        *error = QStringLiteral("Chaîne de connexion au serveur de classe inutilisable (%1) : %2")
                     .arg(conninfo, message ? QString::fromUtf8(message).trimmed() : QStringLiteral("mémoire épuisée"));
        pq->freemem(message);
        return std::nullopt;
    }
    ClassServer s;
    QStringList extra;
    QStringList given;
    for (const PQconninfoOption* o = options.get(); o->keyword; ++o) {
        if (!o->val) continue;
        const QString key = QString::fromUtf8(o->keyword), value = QString::fromUtf8(o->val);
        given << key;
        if (key == "password") {
            *error = QStringLiteral("La chaîne de connexion au serveur de classe contient un mot de passe : "
                                    "retirez-le et mettez-le dans ~/.pgpass (ou le fichier que désigne PGPASSFILE).");
            return std::nullopt;
        }
        // The address would be reached under another host's name, and the
        // password kept for that name would go to it.
        if (key == "hostaddr") {
            *error = QStringLiteral("La chaîne de connexion au serveur de classe contient « hostaddr » : retirez-le "
                                    "et nommez le serveur par « host » seul.");
            return std::nullopt;
        }
        if (key == "sslmode") s.verifiesServer = value == "verify-full";
        // Which password file and channel binding apply is decided below,
        // from whether the server is verified.
        if (key == "passfile" || key == "channel_binding") {
            s.passfile = key == "passfile" ? value : s.passfile;
            continue;
        }
        if (key == "host") {
            s.host = value;
        } else if (key == "dbname") {
            s.database = value;
        } else if (key == "user") {
            s.user = value;
        } else if (key == "port" && value.toInt() > 0 && !value.contains(',')) {
            s.port = value.toInt();
        } else {
            // The driver joins its options with ';' and then reads them as blanks.
            if (value.contains(';')) {
                *error = QStringLiteral("Chaîne de connexion au serveur de classe inutilisable : "
                                        "la valeur de « %1 » contient un point-virgule.").arg(key);
                return std::nullopt;
            }
            extra << key + '=' + quoted(value);
        }
    }
    for (const auto& [key, value] : kDefaults)
        if (!given.contains(key)) extra << QStringLiteral("%1=%2").arg(key, value);
    if (s.verifiesServer) {
        // The server proves who it is, and SCRAM is tied to that encrypted
        // link, so a server that would take the password in clear gets none.
        extra << QStringLiteral("channel_binding=require");
        if (!s.passfile.isEmpty()) extra << QStringLiteral("passfile=") + quoted(s.passfile);
    } else {
        // An empty password keeps PGPASSWORD out, and a password file that
        // cannot exist keeps ~/.pgpass out: a server that asks gets nothing.
        extra << QStringLiteral("password=''") << QStringLiteral("passfile=") + quoted(kNoPasswordFile);
    }
    s.options = extra.join(';');
    return s;
}

QSqlDatabase ClassServer::addConnection(const QString& connectionName) const {
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connectionName);
    db.setHostName(host);
    db.setDatabaseName(database);
    db.setUserName(user);
    db.setPort(port);
    db.setConnectOptions(options);
    return db;
}

QString ClassServer::label() const {
    return QStringLiteral("%1@%2%3/%4")
        .arg(user.isEmpty() ? QString::fromLocal8Bit(qgetenv("USER")) : user,
             host.isEmpty() ? QStringLiteral("localhost") : host,
             port > 0 ? ':' + QString::number(port) : QString(), database);
}

QString sqlErrorText(const QSqlError& e) {
    const QString text = e.databaseText().trimmed();
    return frenchServerReason(text.isEmpty() ? e.text().trimmed() : text);
}

QString frenchServerReason(const QString& message) {
    // libpq speaks English whatever the desktop's language: its usual
    // messages are said again in French, the others kept after a French lead.
    static const std::pair<QRegularExpression, QString> kKnown[] = {
        {QRegularExpression(R"re(password authentication failed for user "([^"]*)")re"),
         QStringLiteral("mot de passe refusé pour l'utilisateur « \\1 » : vérifiez celui de ~/.pgpass")},
        {QRegularExpression(R"re(channel binding)re"),
         QStringLiteral("le serveur ne prouve pas qu'il est celui du certificat (liaison de canal refusée) : "
                        "aucun mot de passe ne lui est donné")},
        {QRegularExpression(R"re(root certificate file "([^"]*)" does not exist)re"),
         QStringLiteral("le certificat de la classe manque (\\1) : copiez-le sur ce poste")},
        {QRegularExpression(R"re(server certificate for "([^"]*)".* does not match host name "([^"]*)")re"),
         QStringLiteral("le certificat du serveur est au nom de « \\1 », pas de « \\2 »")},
        {QRegularExpression(R"re(certificate verify failed)re"),
         QStringLiteral("le certificat du serveur n'est pas signé par celui de la classe")},
        {QRegularExpression(R"re(server does not support SSL)re"),
         QStringLiteral("le serveur n'accepte pas de connexion chiffrée (ssl = on dans postgresql.conf)")},
        {QRegularExpression(R"re(no password supplied)re"),
         QStringLiteral("aucun mot de passe : mettez celui du poste dans ~/.pgpass")},
        {QRegularExpression(R"re(server at "([^"]*)", port (\d+) failed: Connection refused)re"),
         QStringLiteral("le serveur \\1, port \\2, refuse la connexion (est-il démarré ?)")},
        {QRegularExpression(R"re(Connection refused)re"), QStringLiteral("le serveur refuse la connexion (est-il démarré ?)")},
        {QRegularExpression(R"re(could not translate host name "([^"]*)")re"),
         QStringLiteral("nom de serveur « \\1 » inconnu sur le réseau")},
        {QRegularExpression(R"re(timeout expired|timed out)re"), QStringLiteral("le serveur ne répond pas (délai dépassé)")},
        {QRegularExpression(R"re(No route to host|Network is unreachable)re"), QStringLiteral("réseau injoignable")},
        {QRegularExpression(R"re(database "([^"]*)" does not exist)re"), QStringLiteral("la base « \\1 » n'existe pas")},
        {QRegularExpression(R"re(role "([^"]*)" does not exist)re"),
         QStringLiteral("l'utilisateur « \\1 » n'existe pas sur le serveur")},
        {QRegularExpression(R"re(no pg_hba\.conf entry)re"),
         QStringLiteral("le serveur n'accepte pas ce poste (pg_hba.conf)")},
        {QRegularExpression(R"re(server closed the connection unexpectedly|terminating connection)re"),
         QStringLiteral("le serveur a coupé la connexion")},
        {QRegularExpression(R"re(violates row-level security policy)re"),
         QStringLiteral("le serveur refuse ces essais : un poste n'envoie que les siens, sous le nom de son "
                        "identifiant (poste et user de data/classe.ini doivent être les mêmes)")},
        {QRegularExpression(R"re(violates check constraint)re"),
         QStringLiteral("le serveur refuse un essai aux valeurs impossibles")},
        {QRegularExpression(R"re(permission denied for (\w+) (\S+))re"),
         QStringLiteral("droits insuffisants sur « \\2 »")},
    };
    for (const auto& [pattern, french] : kKnown) {
        const QRegularExpressionMatch m = pattern.match(message);
        if (!m.hasMatch()) continue;
        QString out = french;
        for (int i = 1; i <= m.lastCapturedIndex(); ++i) out.replace(QStringLiteral("\\%1").arg(i), m.captured(i));
        return out;
    }
    return message.isEmpty() ? QStringLiteral("raison inconnue") : QStringLiteral("réponse du serveur : ") + message;
}

bool openClassDatabase(QSqlDatabase& db, const ClassServer& server, QString* error) {
    if (db.open()) return true;
    const bool askedForPassword = db.lastError().text().contains(QLatin1String("no password supplied"));
    *error = QStringLiteral("Serveur de classe %1 injoignable : %2")
                 .arg(server.label(),
                      askedForPassword && !server.verifiesServer
                          ? QStringLiteral("le serveur demande un mot de passe, mais un mot de passe ne part que vers "
                                           "un serveur vérifié : ajoutez sslmode=verify-full à la chaîne de connexion, "
                                           "avec le certificat de la classe dans ~/.postgresql/root.crt")
                          : sqlErrorText(db.lastError()));
    return false;
}

bool withClassDatabase(const QString& conninfo, const std::function<bool(QSqlDatabase&, QString*)>& work,
                       QString* error) {
    const auto server = ClassServer::parse(conninfo, error);
    if (!server) return false;
    const QString name = QStringLiteral("commande-%1").arg(quintptr(&work));
    bool ok = false;
    {
        QSqlDatabase db = server->addConnection(name);
        ok = openClassDatabase(db, *server, error) && work(db, error);
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

namespace {

// The advisory lock that one preparation of the class database holds at a time.
constexpr int kInitLock = 7115, kInitLockSeconds = 5;

// Who holds the preparation's lock, for the trainer.
QString lockHolder(const QSqlDatabase& db) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT a.usename, coalesce(host(a.client_addr), 'ce serveur'), "
                              "to_char(a.xact_start, 'HH24:MI') FROM pg_locks l JOIN pg_stat_activity a USING (pid) "
                              "WHERE l.locktype = 'advisory' AND l.objid = %1 AND l.granted").arg(kInitLock)) &&
        q.next())
        return QStringLiteral("une autre préparation la tient depuis %3, par « %1 » depuis %2 : attendez qu'elle "
                              "finisse ou mettez fin à cette connexion, puis recommencez.")
            .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    return QStringLiteral("une autre préparation est en cours : recommencez dans un moment.");
}

}  // namespace

QString initClassDatabase(const QString& conninfo, bool* ok) {
    *ok = false;
    QString error;
    const auto server = ClassServer::parse(conninfo, &error);
    if (!server) return error;
    const QString name = QStringLiteral("init-classe");
    QString result;
    {
        QSqlDatabase db = server->addConnection(name);
        if (!openClassDatabase(db, *server, &error)) {
            result = error;
        } else {
            QSqlQuery q(db);
            auto run = [&](const QString& sql) {
                if (q.exec(sql)) return true;
                result = QStringLiteral("La base de classe %1 n'a pas pu être préparée : %2")
                             .arg(server->label(), q.lastError().databaseText().trimmed());
                return false;
            };
            // The server's notices ("already exists, skipping") are not for the trainer.
            // Another preparation in progress is waited for a few seconds, not for ever.
            bool done = run("BEGIN") && run("SET LOCAL client_min_messages = warning") &&
                        run(QStringLiteral("SET LOCAL lock_timeout = '%1s'").arg(kInitLockSeconds));
            if (done && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kInitLock))) {
                q.exec("ROLLBACK");
                result = QStringLiteral("La base de classe %1 n'a pas été préparée : %2").arg(server->label(), lockHolder(db));
                done = false;
            }
            done = done && run("CREATE TABLE IF NOT EXISTS version_schema (version integer NOT NULL)") &&
                        run("SELECT coalesce(max(version), 0) FROM version_schema") && q.next();
            const int found = done ? q.value(0).toInt() : 0;
            if (done && found > kClassSchemaVersion) {
                result = QStringLiteral("La base de classe %1 est en version %2, plus récente que celle que ce "
                                        "programme connaît (%3) : mettez à jour le programme, la base n'a pas été "
                                        "modifiée.").arg(server->label()).arg(found).arg(kClassSchemaVersion);
                done = false;
            }
            done = done && run(kRoles);
            for (int version = found + 1; version <= kClassSchemaVersion; ++version)
                for (const QString& sql : schemaStatements(version)) done = done && run(sql);
            for (const char* sql : kAccess) done = done && run(sql);
            // A station inserts the row's columns, never when the server received it.
            done = done && run(QStringLiteral("GRANT INSERT (%1) ON essais TO pliage_poste")
                                   .arg(journalColumns().join(", ")));
            if (done && found < kClassSchemaVersion)
                done = run("DELETE FROM version_schema") &&
                       run(QStringLiteral("INSERT INTO version_schema VALUES (%1)").arg(kClassSchemaVersion));
            done = done && run("COMMIT");
            if (!done) {
                q.exec("ROLLBACK");
            } else {
                *ok = true;
                result = found == kClassSchemaVersion
                             ? QStringLiteral("La base de classe %1 est déjà à jour (version %2).")
                                   .arg(server->label()).arg(kClassSchemaVersion)
                             : QStringLiteral("La base de classe %1 est prête (version %2).")
                                   .arg(server->label()).arg(kClassSchemaVersion);
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString addStationRole(const QString& conninfo, const QString& name, bool* ok) {
    *ok = false;
    if (!QRegularExpression(QStringLiteral("^[a-z0-9_-]{1,32}$")).match(name).hasMatch())
        return QStringLiteral("« %1 » ne peut pas être le nom d'un poste : lettres minuscules sans accent, chiffres, "
                              "« - » et « _ », 32 au plus.").arg(name.left(40));
    QString error;
    const auto server = ClassServer::parse(conninfo, &error);
    if (!server) return error;
    // 24 characters from 64: 144 bits, nothing a shell or .pgpass must escape.
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QString password;
    for (int i = 0; i < 24; ++i) password += QChar(kAlphabet[QRandomGenerator::system()->bounded(64)]);
    const QString connection = QStringLiteral("ajouter-poste");
    QString result;
    {
        QSqlDatabase db = server->addConnection(connection);
        QSqlQuery q(db);
        auto run = [&](const char* sql) {
            // The server quotes the name and the password itself.
            q.prepare(QStringLiteral("SELECT format(%1, ?::text, ?::text)").arg(QLatin1String(sql)));
            q.addBindValue(name);
            q.addBindValue(password);
            QSqlQuery statement(db);
            if (q.exec() && q.next() && statement.exec(q.value(0).toString())) return true;
            error = sqlErrorText(q.lastError().isValid() ? q.lastError() : statement.lastError());
            return false;
        };
        if (!openClassDatabase(db, *server, &error)) {
            result = error;
        } else {
            QSqlQuery exists(db);
            exists.prepare("SELECT count(*) FROM pg_roles WHERE rolname = ?");
            exists.addBindValue(name);
            const bool known = exists.exec() && exists.next() && exists.value(0).toInt() > 0;
            const bool done = run(known ? "'ALTER ROLE %I LOGIN PASSWORD %L'" : "'CREATE ROLE %I LOGIN PASSWORD %L'") &&
                              run("'GRANT pliage_poste TO %I'");
            if (!done) {
                result = QStringLiteral("Le poste « %1 » n'a pas été ajouté à la base de classe %2 : %3")
                             .arg(name, server->label(), error);
            } else {
                *ok = true;
                // Over the local socket, the stations reach this machine by its name.
                const QString host = server->host.isEmpty() || server->host.startsWith('/') ||
                                             server->host == QLatin1String("localhost")
                                         ? QSysInfo::machineHostName()
                                         : server->host;
                const int port = server->port > 0 ? server->port : 5432;
                result = QStringLiteral("%1 le poste « %2 ». Sur ce poste :\n"
                                        "  dans ~/.pgpass (chmod 600) :\n    %3:%4:%5:%2:%6\n"
                                        "  dans data/classe.ini, section [classe] :\n    poste=%2\n"
                                        "    serveur=host=%3 port=%4 dbname=%5 user=%2 sslmode=verify-full\n"
                                        "  et le certificat de la classe dans ~/.postgresql/root.crt\n")
                             .arg(known ? QStringLiteral("Nouveau mot de passe pour") : QStringLiteral("Ajouté :"),
                                  name, host)
                             .arg(port)
                             .arg(server->database, password);
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

QString nameProblem(const QString& value, const QString& what) {
    // Control characters, and the marks that turn text around: two names
    // that look alike on a tile must be the same name.
    const bool hidden = std::any_of(value.begin(), value.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
    });
    if (value.size() > kMaxStationName || hidden || value != value.trimmed())
        return QStringLiteral("Le %1 « %2 » ne convient pas : au plus %3 caractères, sans caractère invisible ni blanc "
                              "au début ou à la fin.")
            .arg(what, value.left(40).replace(QRegularExpression("[\\p{Cc}\\p{Cf}]"), "?"))
            .arg(kMaxStationName);
    return {};
}

QString stationNamesProblem(const QString& poste, const QString& stagiaire) {
    const QString problem = nameProblem(poste, QStringLiteral("poste"));
    return problem.isEmpty() ? nameProblem(stagiaire, QStringLiteral("stagiaire")) : problem;
}

std::optional<QStringList> rosterFromText(const QString& text, QString* error) {
    QStringList names;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = lines[i].trimmed();
        if (name.isEmpty() || names.contains(name)) continue;
        const QString problem = nameProblem(name, QStringLiteral("nom de poste"));
        if (!problem.isEmpty()) {
            *error = QStringLiteral("Ligne %1 : %2").arg(i + 1).arg(problem);
            return std::nullopt;
        }
        names << name;
    }
    return names;
}

bool setClassRoster(QSqlDatabase& db, const QStringList& names, QString* error) {
    QSqlQuery q(db);
    auto fail = [&](const QSqlQuery& failed) {
        *error = sqlErrorText(failed.lastError());
        q.exec("ROLLBACK");
        return false;
    };
    if (!q.exec("BEGIN") || !q.exec("DELETE FROM postes")) return fail(q);
    QSqlQuery insert(db);
    if (!insert.prepare("INSERT INTO postes (nom) VALUES (?)")) return fail(insert);
    for (const QString& name : names) {
        insert.addBindValue(name);
        if (!insert.exec()) return fail(insert);
    }
    return q.exec("COMMIT") || fail(q);
}

bool sendRows(QSqlDatabase& db, const std::vector<JournalEntry>& rows, QString* error, bool* refusedForGood) {
    QSqlQuery q(db);
    auto fail = [&](const QSqlQuery& failed) {
        *error = sqlErrorText(failed.lastError());
        // Data exceptions and broken constraints: the values themselves.
        const QString state = failed.lastError().nativeErrorCode();
        if (refusedForGood) *refusedForGood = state.startsWith("22") || state.startsWith("23");
        q.exec("ROLLBACK");
        return false;
    };
    if (!q.exec("BEGIN")) return fail(q);
    QSqlQuery insert(db);
    if (!insert.prepare(journalInsertSql(QStringLiteral(" ON CONFLICT DO NOTHING"))))
        return fail(insert);
    for (const JournalEntry& e : rows) {
        for (const QVariant& v : journalValues(e.row)) insert.addBindValue(v);
        if (!insert.exec()) return fail(insert);
    }
    return q.exec("COMMIT") || fail(q);
}

std::optional<std::vector<JournalRow>> classSession(QSqlDatabase& db, const QString& session, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare("SELECT " + journalColumns().join(", ") + " FROM essais WHERE session = ? ORDER BY poste, numero");
    q.addBindValue(session);
    if (!q.exec()) {
        *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    std::vector<JournalRow> rows;
    while (q.next()) rows.push_back(journalRowAt(q, 0));
    return rows;
}

std::optional<std::map<int, QString>> classComments(QSqlDatabase& db, const QString& station, const QString& session,
                                                    QString* error) {
    QSqlQuery q(db);
    q.prepare("SELECT numero, texte FROM commentaires WHERE poste = ? AND session = ?");
    q.addBindValue(station);
    q.addBindValue(session);
    if (q.exec()) return commentsByNumber(q);
    *error = sqlErrorText(q.lastError());
    return std::nullopt;
}

std::optional<std::map<TrialKey, QString>> allClassComments(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec("SELECT poste, session, numero, texte FROM commentaires")) {
        *error = sqlErrorText(q.lastError());
        return std::nullopt;
    }
    std::map<TrialKey, QString> out;
    while (q.next()) out[{q.value(0).toString(), q.value(1).toString(), q.value(2).toInt()}] = q.value(3).toString();
    return out;
}

bool writeClassComment(QSqlDatabase& db, const QString& station, const QString& session, int number,
                       const QString& text, QString* error) {
    QSqlQuery q(db);
    if (text.isEmpty())
        q.prepare("DELETE FROM commentaires WHERE poste = ? AND session = ? AND numero = ?");
    else
        q.prepare("INSERT INTO commentaires (poste, session, numero, texte) VALUES (?, ?, ?, ?) "
                  "ON CONFLICT (poste, session, numero) DO UPDATE SET texte = excluded.texte, modifie = now()");
    q.addBindValue(station);
    q.addBindValue(session);
    q.addBindValue(number);
    if (!text.isEmpty()) q.addBindValue(text);
    if (q.exec()) return true;
    *error = sqlErrorText(q.lastError());
    return false;
}

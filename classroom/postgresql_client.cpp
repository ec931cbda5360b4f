#include "postgresql_client.h"

#include <QLibrary>

#include <optional>

namespace {

struct Loaded {
    std::optional<PostgresqlClient> client;
    QString error;
};

Loaded load() {
    QLibrary library(QStringLiteral("pq"), 5);
    Loaded loaded;
    auto resolve = [&library](auto& call, const char* name) {
        call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(library.resolve(name));
        return call != nullptr;
    };
    PostgresqlClient client{};
    if (resolve(client.conninfoParse, "PQconninfoParse") && resolve(client.conninfoFree, "PQconninfoFree") &&
        resolve(client.freemem, "PQfreemem") && resolve(client.getCancel, "PQgetCancel") &&
        resolve(client.freeCancel, "PQfreeCancel") && resolve(client.cancel, "PQcancel"))
        loaded.client = client;  // the library stays loaded for the process's life
    else
        loaded.error = QStringLiteral("La bibliothèque cliente de PostgreSQL (libpq) est introuvable : %1. "
                                      "Installez le paquet libpq5.")
                           .arg(library.errorString());
    return loaded;
}

}  // namespace

const PostgresqlClient* postgresqlClient(QString* error) {
    static const Loaded loaded = load();
    if (!loaded.client && error) *error = loaded.error;
    return loaded.client ? &*loaded.client : nullptr;
}

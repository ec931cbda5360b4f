// The PostgreSQL client library, loaded at its first use: a station that
// works alone never loads it, nor the many libraries it brings with it. The
// class database needs it to split a connection string and to cancel a
// query that hangs; Qt's driver loads it on its own to connect.
#pragma once

#include <QString>

#include <libpq-fe.h>

struct PostgresqlClient {
    decltype(&PQconninfoParse) conninfoParse;
    decltype(&PQconninfoFree) conninfoFree;
    decltype(&PQfreemem) freemem;
    decltype(&PQgetCancel) getCancel;
    decltype(&PQfreeCancel) freeCancel;
    decltype(&PQcancel) cancel;
};

// The library's calls, or null with why in error when it cannot be loaded.
const PostgresqlClient* postgresqlClient(QString* error = nullptr);

// A throwaway PostgreSQL server for tests: initdb'd in a temporary folder,
// run as the unprivileged postgres user (the server refuses root), listening
// on 127.0.0.1 and a free port, removed with its folder at the end.
#pragma once

#include <filesystem>
#include <string>

class PostgresServer {
public:
    // Whether the server's programs are installed; tests skip when not.
    static bool available();

    // Creates and starts the server; throws std::runtime_error on failure.
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    std::string host() const { return "127.0.0.1"; }
    int port() const { return port_; }
    // A libpq key=value string for that database and user.
    std::string conninfo(const std::string& database = "postgres", const std::string& user = "postgres") const;

    // Runs SQL through psql as the superuser; returns what it printed
    // (unaligned, tuples only); throws when psql fails.
    std::string psql(const std::string& sql, const std::string& database = "postgres") const;

    // Puts a pg_hba.conf line before the others; the server reloads its
    // rules before a new connection is tried.
    void addRule(const std::string& rule);
    // Turns TLS on with a certificate for localhost and 127.0.0.1, signed by
    // a certificate authority made for it; returns the authority's file.
    std::string enableTls();

    // A crash: the server stops at once, without a shutdown checkpoint.
    void stopImmediately();
    void start();

private:
    // pg_ctl's immediate stop; ok as runAsPostgres takes it.
    void stop(bool* ok);

    std::filesystem::path dir_;
    int port_ = 0;
    bool running_ = false;
};

#pragma once
// A throwaway PostgreSQL server for the tests and benchmarks: a cluster in a temporary
// folder, listening on a free port of 127.0.0.1 only, with one database and one login
// user. Run as an unprivileged user when the caller is root. A guard process stops the
// server and removes the folder when the owner goes away, also when it crashes.

#include <QProcess>
#include <QString>
#include <memory>

namespace pgtest {

class Cluster {
public:
    // Creates and starts the cluster with the database `trade` owned by the user `trader`.
    // Throws std::runtime_error with the tool's own output when it cannot.
    Cluster();
    ~Cluster();
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    // Why no cluster can be started on this machine (no server binaries, no ODBC driver
    // for it), or empty when one can.
    static QString unavailableReason();

    int port() const { return port_; }
    QString database() const { return QStringLiteral("trade"); }
    QString user() const { return QStringLiteral("trader"); }
    QString password() const { return password_; }
    // The ODBC driver's name as the connection string gives it: "{PostgreSQL Unicode}"
    // when unixODBC knows it by name, else the path of its library.
    static QString odbcDriver();
    // "DRIVER=…;SERVER=127.0.0.1;PORT=…;DATABASE=trade;UID=trader;PWD=…"; an empty
    // `password` leaves PWD out.
    QString connectionString(const QString& password) const;
    QString connectionString() const { return connectionString(password_); }

    // Runs SQL as the cluster's superuser in `db` (empty: the trade database); throws on failure.
    void sql(const QString& statement, const QString& db = QString()) const;
    // Changes the login user's password (the old one is refused from then on).
    void setPassword(const QString& password);
    // Ends every session of the login user: a connection drops as a network fault would.
    void dropSessions() const;
    void stop();
    void start();

private:
    void shutdown();
    QStringList asOwner(const QString& program, const QStringList& args) const;
    QString run(const QString& program, const QStringList& args, bool check = true) const;

    QString bin_;
    QString dir_;   // the temporary folder: data, socket, log
    QString user_;  // the system user the server runs as; empty when it is the caller
    QString password_;
    int port_ = 0;
    bool running_ = false;
    std::unique_ptr<QProcess> guard_;
};

}  // namespace pgtest

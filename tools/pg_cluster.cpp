#include "tools/pg_cluster.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <stdexcept>

namespace pgtest {
namespace {

const char* const kAdmin = "zeladmin";

// The newest server version's tools: Debian keeps them out of PATH.
QString serverBin() {
    QStringList found;
    for (const QFileInfo& v :
         QDir(QStringLiteral("/usr/lib/postgresql")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFileInfo::exists(v.filePath() + QStringLiteral("/bin/initdb"))) found << v.fileName();
    if (found.isEmpty()) return QString();
    std::sort(found.begin(), found.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    return QStringLiteral("/usr/lib/postgresql/%1/bin").arg(found.last());
}

QString driverLibrary() {
    for (const QFileInfo& d :
         QDir(QStringLiteral("/usr/lib")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lib = d.filePath() + QStringLiteral("/odbc/psqlodbcw.so");
        if (QFileInfo::exists(lib)) return lib;
    }
    return QString();
}

// A port nobody listens on now; the server takes it a moment later.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) throw std::runtime_error("no socket for a free port");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    if (port == 0) throw std::runtime_error("no free port on 127.0.0.1");
    return port;
}

QString quoted(const QString& s) {
    return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

}  // namespace

QString Cluster::unavailableReason() {
    if (serverBin().isEmpty())
        return QStringLiteral("no PostgreSQL server binaries under /usr/lib/postgresql");
    if (driverLibrary().isEmpty()) return QStringLiteral("no psqlODBC driver (psqlodbcw.so)");
    if (::geteuid() == 0 && !QFileInfo::exists(QStringLiteral("/usr/sbin/runuser")) &&
        !QFileInfo::exists(QStringLiteral("/sbin/runuser")))
        return QStringLiteral("running as root without runuser");
    return QString();
}

QString Cluster::odbcDriver() {
    QFile ini(QStringLiteral("/etc/odbcinst.ini"));
    if (ini.open(QIODevice::ReadOnly) && ini.readAll().contains("[PostgreSQL Unicode]"))
        return QStringLiteral("{PostgreSQL Unicode}");
    return driverLibrary();
}

Cluster::Cluster() : bin_(serverBin()) {
    const QString why = unavailableReason();
    if (!why.isEmpty()) throw std::runtime_error(why.toStdString());
    // Run as root, the server's user must reach the folder: a private TMPDIR may not let it.
    const QString parent = ::geteuid() == 0 ? QStringLiteral("/tmp") : QDir::tempPath();
    QTemporaryDir tmp(parent + QStringLiteral("/zelvorin-pg-XXXXXX"));
    if (!tmp.isValid()) throw std::runtime_error("cannot create a temporary folder for the cluster");
    tmp.setAutoRemove(false);
    dir_ = tmp.path();
    if (::geteuid() == 0) {
        // The server refuses to run as root.
        const passwd* pw = ::getpwnam("postgres");
        if (!pw) pw = ::getpwnam("nobody");
        if (!pw || ::chown(QFile::encodeName(dir_).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            QDir(dir_).removeRecursively();
            throw std::runtime_error("no unprivileged user to run the server as");
        }
        user_ = QString::fromLocal8Bit(pw->pw_name);
    }
    // The guard lives in its own session: it outlives this process and, once its input
    // closes, stops the server and removes the folder.
    guard_ = std::make_unique<QProcess>();
    guard_->setChildProcessModifier([] { ::setsid(); });
    const QStringList guard =
        asOwner(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("read x; \"$0\" -D \"$1/data\" stop -m immediate >/dev/null 2>&1;"
                                " rm -rf \"$1\""),
                 bin_ + QStringLiteral("/pg_ctl"), dir_});
    guard_->start(guard.first(), guard.mid(1));
    if (!guard_->waitForStarted()) {
        QDir(dir_).removeRecursively();
        throw std::runtime_error("cannot start the cluster's guard");
    }
    password_ = QStringLiteral("Tr4d3r-") + QString::number(QRandomGenerator::global()->generate64(), 36);
    try {
        run(bin_ + QStringLiteral("/initdb"),
            {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-U"),
             QString::fromLatin1(kAdmin), QStringLiteral("--auth-local=trust"),
             QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
             QStringLiteral("--locale=C"), QStringLiteral("--no-sync")});
        // Another process may take the free port before the server does: try another.
        for (int attempt = 1;; ++attempt) {
            port_ = freePort();
            try {
                start();
                break;
            } catch (const std::exception&) {
                if (attempt == 3) throw;
            }
        }
        sql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2").arg(user(), quoted(password_)),
            QStringLiteral("postgres"));
        sql(QStringLiteral("CREATE DATABASE %1 OWNER %2").arg(database(), user()), QStringLiteral("postgres"));
    } catch (...) {
        shutdown();  // no destructor runs for a half-made object
        throw;
    }
}

void Cluster::shutdown() {
    guard_->closeWriteChannel();
    if (!guard_->waitForFinished(60000)) {
        guard_->kill();
        guard_->waitForFinished();
    }
    if (QFileInfo::exists(dir_)) {
        if (running_)
            run(bin_ + QStringLiteral("/pg_ctl"),
                {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("stop"),
                 QStringLiteral("-m"), QStringLiteral("immediate")},
                false);
        QDir(dir_).removeRecursively();
    }
}

Cluster::~Cluster() { shutdown(); }

QStringList Cluster::asOwner(const QString& program, const QStringList& args) const {
    if (user_.isEmpty()) return QStringList{program} + args;
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), user_, QStringLiteral("--"),
                       program} +
           args;
}

QString Cluster::run(const QString& program, const QStringList& args, bool check) const {
    const QStringList cmd = asOwner(program, args);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(dir_);
    p.start(cmd.first(), cmd.mid(1));
    const bool done = p.waitForStarted() && p.waitForFinished(120000);
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (check && (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0))
        throw std::runtime_error(
            (QFileInfo(program).fileName() + QStringLiteral(" failed: ") + out).toStdString());
    return out;
}

QString Cluster::connectionString(const QString& password) const {
    QString s = QStringLiteral("DRIVER=%1;SERVER=127.0.0.1;PORT=%2;DATABASE=%3;UID=%4")
                    .arg(odbcDriver())
                    .arg(port_)
                    .arg(database(), user());
    if (!password.isEmpty()) s += QStringLiteral(";PWD=") + password;
    return s;
}

void Cluster::sql(const QString& statement, const QString& db) const {
    run(bin_ + QStringLiteral("/psql"),
        {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
         QStringLiteral("-h"), dir_, QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"),
         QString::fromLatin1(kAdmin), QStringLiteral("-d"), db.isEmpty() ? database() : db,
         QStringLiteral("-c"), statement});
}

void Cluster::setPassword(const QString& password) {
    sql(QStringLiteral("ALTER ROLE %1 PASSWORD %2").arg(user(), quoted(password)));
    password_ = password;
}

void Cluster::dropSessions() const {
    sql(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = %1")
            .arg(quoted(user())));
}

void Cluster::stop() {
    if (!running_) return;
    run(bin_ + QStringLiteral("/pg_ctl"),
        {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("stop"), QStringLiteral("-m"),
         QStringLiteral("fast"), QStringLiteral("-w")});
    running_ = false;
}

void Cluster::start() {
    if (running_) return;
    const QString options = QStringLiteral(
                                "-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                "-c synchronous_commit=off -c full_page_writes=off")
                                .arg(port_)
                                .arg(dir_);
    run(bin_ + QStringLiteral("/pg_ctl"),
        {QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-l"),
         dir_ + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"),
         QStringLiteral("60"), QStringLiteral("-o"), options, QStringLiteral("start")});
    running_ = true;
}

}  // namespace pgtest

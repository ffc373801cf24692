// The synchronisation as the operator runs it (zelvorin --sync, a process) from the demo
// central database in an SQLite file and from the same rows on a PostgreSQL server over
// ODBC, in the same run, turn about. Prints the times and the ratio server / file.
//
//   central_bench [--scale S] [--rounds N]       (defaults: scale 25, 3 rounds)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_timing.h"
#include "data/demo_data.h"
#include "tools/pg_cluster.h"

namespace {

// One --sync into a new folder; its wall-clock seconds, or a negative value on failure.
// A server's password goes through the environment, as an operator's would.
double syncSeconds(const QString& central, const QString& folder, const QString& password = QString()) {
    QDir(folder).removeRecursively();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty()) env.insert("ZELVORIN_CENTRAL_PWD", password);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationDirPath() + "/zelvorin",
            {"--sync", "--central", central, "--db", folder});
    if (!p.waitForStarted() || !p.waitForFinished(-1)) return -1;
    const double s = double(t.nsecsElapsed()) / 1e9;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", p.readAll().constData());
        return -1;
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    double scale = 25;
    int rounds = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--scale")
            scale = args[++i].toDouble();
        else if (args[i] == "--rounds")
            rounds = std::max(1, args[++i].toInt());
    }
    QTemporaryDir work;
    const QString file = work.filePath("central.sqlite");
    try {
        const double genFile =
            bench::msOf([&] { demodata::generateCentral(file.toStdString(), scale); }) / 1000;
        pgtest::Cluster server;
        const double genServer =
            bench::msOf([&] { demodata::generateCentral(server.connectionString().toStdString(), scale); }) /
            1000;
        std::printf("demo scale %g: generated in %.1f s to the file, %.1f s to the server\n", scale, genFile,
                    genServer);
        std::vector<double> fromFile, fromServer;
        for (int r = 0; r < rounds; ++r) {
            fromFile.push_back(syncSeconds(file, work.filePath("DB-file")));
            fromServer.push_back(
                syncSeconds(server.connectionString(QString()), work.filePath("DB-server"), server.password()));
            std::printf("  round %d: --sync from the SQLite file %.2f s, from PostgreSQL over ODBC %.2f s\n",
                        r + 1, fromFile.back(), fromServer.back());
            std::fflush(stdout);
            if (fromFile.back() < 0 || fromServer.back() < 0) return 1;
        }
        std::sort(fromFile.begin(), fromFile.end());
        std::sort(fromServer.begin(), fromServer.end());
        const double f = fromFile[fromFile.size() / 2], s = fromServer[fromServer.size() / 2];
        std::printf("median: file %.2f s, server %.2f s, server / file %.2fx (target at most 2x)\n", f, s,
                    s / f);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "central_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

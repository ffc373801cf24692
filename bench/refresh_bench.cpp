// The synchronisation into an empty folder and the refresh of a built one, as the
// operator runs them (the program as a process), at demo scales 1 and 25, side by side
// with GDAL's ogr2ogr writing the same ten central tables to .dbf files from the same
// central file. Prints wall-clock seconds, peak memory and the ratios to ogr2ogr.
//
//   refresh_bench [--small-only] [--work DIR]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "../data/demo_data.h"

extern char** environ;

namespace {

struct Run {
    double seconds = 0;
    long peakMb = 0;
    int status = -1;
};

// Runs a program with its output thrown away; its time and its peak resident memory.
Run run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Run r;
    if (posix_spawn(&pid, argv[0], &io, nullptr, argv.data(), environ) != 0) return r;
    struct rusage use {};
    int status = 0;
    wait4(pid, &status, 0, &use);
    posix_spawn_file_actions_destroy(&io);
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    r.peakMb = use.ru_maxrss / 1024;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

void line(const char* what, const Run& r, const Run& reference) {
    std::printf("  %-36s %8.2f s %6ld MB   %6.2fx ogr2ogr%s\n", what, r.seconds, r.peakMb, r.seconds / reference.seconds,
                r.status == 0 ? "" : "   !! failed");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool smallOnly = false;
    QString work;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--small-only") {
            smallOnly = true;
        } else if (a == "--work" && i + 1 < argc) {
            work = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: refresh_bench [--small-only] [--work DIR]\n");
            return 2;
        }
    }
    QTemporaryDir tmp(work.isEmpty() ? QDir::tempPath() + "/refresh_bench-XXXXXX" : work + "/refresh_bench-XXXXXX");
    const std::string program = (QCoreApplication::applicationDirPath() + "/zelvorin").toStdString();
    const std::vector<std::string> tables = {"tbl_types",   "tbl_groups",        "tbl_positions", "tbl_regions",
                                             "tbl_cities",  "tbl_organizations", "tbl_bases",     "tbl_prices",
                                             "tbl_stuffs",  "tbl_costs"};
    std::printf("refresh_bench: the program against ogr2ogr writing the same ten tables (one run each)\n");
    for (double scale : smallOnly ? std::vector<double>{1} : std::vector<double>{1, 25}) {
        const QString dir = tmp.filePath(QString("scale%1").arg(scale));
        QDir().mkpath(dir);
        const std::string central = (dir + "/central.sqlite").toStdString();
        const demodata::Summary s = demodata::generateCentral(central, scale);
        const long long rows = s.types + s.groups + s.positions + s.regions + s.cities + s.organizations + s.bases +
                               s.prices + s.stuffs + s.costs;
        std::printf("scale %g: %lld rows in the ten tables (%lld price bands)\n", scale, rows, (long long)s.costs);
        std::vector<std::string> ogr = {"/usr/bin/ogr2ogr", "-f", "ESRI Shapefile", (dir + "/ogr").toStdString(), central};
        ogr.insert(ogr.end(), tables.begin(), tables.end());
        const Run reference = run(ogr);
        const std::string db = (dir + "/DB").toStdString();
        const Run sync = run({program, "--sync", "--central", central, "--db", db});
        const Run refresh = run({program, "--refresh", "--central", central, "--db", db});
        std::printf("  %-36s %8.2f s %6ld MB%s\n", "ogr2ogr (reference)", reference.seconds, reference.peakMb,
                    reference.status == 0 ? "" : "   !! failed");
        line("zelvorin --sync (empty folder)", sync, reference);
        line("zelvorin --refresh (built folder)", refresh, reference);
        std::printf("  %-36s %8.2f us per INSERT\n", "sync", sync.seconds * 1e6 / double(rows));
    }
    return 0;
}

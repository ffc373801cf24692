// zelvorin-demo-gen: writes the demo central trading database for a first run and for
// the benchmarks, into an SQLite file or onto a server through ODBC.
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "data/demo_data.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: zelvorin-demo-gen OUT.sqlite [--scale S]\n"
                 "       zelvorin-demo-gen \"DRIVER={PostgreSQL Unicode};SERVER=…;DATABASE=…;UID=…;PWD=…\" [--scale S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the Qt SQL drivers are plugins
    std::string out;
    double scale = 1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0') return usage();
        } else if (a.rfind("--", 0) == 0 || !out.empty()) {
            return usage();
        } else {
            out = a;
        }
    }
    if (out.empty()) return usage();
    try {
        const demodata::Summary s = demodata::generateCentral(out, scale);
        // A connection string may carry a password: it is not repeated.
        const std::string where = demodata::isServer(out) ? std::string("central server") : out;
        std::printf("%s: %lld positions, %lld offers, %lld price bands\n", where.c_str(),
                    static_cast<long long>(s.positions), static_cast<long long>(s.stuffs),
                    static_cast<long long>(s.costs));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelvorin-demo-gen: %s\n", e.what());
        return 1;
    }
    return 0;
}

#pragma once
// Deterministic generator of the demo central trading database (the central tables the
// synchronisation copies), written through Qt SQL to an SQLite file or to a server, used
// by zelvorin-demo-gen, the benchmarks and the server tests.

#include <QSqlDatabase>

#include <cstdint>
#include <string>
#include <vector>

namespace demodata {

struct Summary {
    int64_t types = 0;
    int64_t groups = 0;
    int64_t positions = 0;
    int64_t regions = 0;
    int64_t cities = 0;
    int64_t organizations = 0;
    int64_t bases = 0;
    int64_t prices = 0;
    int64_t stuffs = 0;        // every offer, including those not tied to a position
    int64_t costs = 0;         // every band, including those of untied offers
    int64_t untiedStuffs = 0;  // offers with ind_position 0 or -1
    int64_t untiedCosts = 0;   // bands of those offers
    // Positions with about 200 offers and about 20 distinct band limits.
    std::vector<int64_t> heavyPositions;
    // The group holding the first heavy position (a large, busy group).
    int64_t heavyGroup = 0;
};

// Writes the demo central database to `target`, an SQLite file (replacing any file there)
// or, when it holds "DRIVER=" or "DSN=", the ODBC connection string of a server, whose
// ten tables are replaced in one transaction. `scale` multiplies positions, offers and
// bands (1: about 2 000 positions and 60 000 bands). The same scale always yields the
// same rows. Throws std::runtime_error.
Summary generateCentral(const std::string& target, double scale = 1.0);

// True when `target` is an ODBC connection string rather than a file.
bool isServer(const std::string& target);

// The same into a database the caller has opened (any Qt SQL driver).
Summary fillCentral(QSqlDatabase& db, double scale = 1.0);

}  // namespace demodata

#pragma once
// A built local database for the main window's tests.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/command_line.h"
#include "db/central_fixture.h"
#include "support/global_guard.h"

namespace testapp {

// Writes the small central database to dir/central.sqlite and, when `build` is true,
// synchronises every table into dir/DB. Returns the central file's path.
inline QString buildDatabase(const QTemporaryDir& dir, bool build = true) {
    app::CommandLine cl;
    cl.central = dir.filePath("central.sqlite");
    cl.db = dir.filePath("DB");
    testcentral::makeCentral(cl.central);
    if (build) {
        EXPECT_EQ(app::runSync(cl), 0);
    }
    return cl.central;
}

}  // namespace testapp

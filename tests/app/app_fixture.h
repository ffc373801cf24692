#pragma once
// Shared state guard and a built local database for the main window's tests.

#include "global/global.h"
#include "db/central_fixture.h"
#include "db/central_link.h"
#include "db/schema.h"
#include "db/sync.h"
#include "store/dbf_connection.h"

#include <QDir>
#include <QTemporaryDir>

namespace testapp {

// Puts Cn, CurrentOrder, CatalogueOpen and the dialog seam back as they were.
class GlobalGuard {
public:
    GlobalGuard() : cn_(Global::setCn(nullptr)), dialogs_(Global::dialogs()), open_(Global::CatalogueOpen) {}
    ~GlobalGuard() {
        Global::CurrentOrder().Init();
        Global::setCn(std::move(cn_));
        Global::dialogs() = dialogs_;
        Global::CatalogueOpen = open_;
    }

private:
    std::unique_ptr<store::Connection> cn_;
    Global::Dialogs dialogs_;
    int16_t open_;
};

// Writes the small central database to dir/central.sqlite and, when `build` is true,
// synchronises every table into dir/DB. Returns the central file's path.
inline QString buildDatabase(const QTemporaryDir& dir, bool build = true) {
    const QString central = dir.filePath("central.sqlite");
    testcentral::makeCentral(central);
    if (build) {
        QDir(dir.path()).mkpath("DB");
        store::RoutedConnection cn(store::openFolder(dir.filePath("DB")), db::openCentralLink(central));
        const QStringList all = db::referenceTables();
        db::synchronise(cn, QSet<QString>(all.begin(), all.end()));
    }
    return central;
}

}  // namespace testapp

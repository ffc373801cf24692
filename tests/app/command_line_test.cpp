// The command line: what the arguments select, the start-up's failures, and the
// synchronisation run that builds a folder and exits.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

#include "app/mdi_zelvorin.h"
#include "app_fixture.h"
#include "core/errors.h"
#include "store/dbf_connection.h"
#include "support/scripted_seams.h"

using app::CommandLine;
using Mode = CommandLine::Mode;

namespace {

TEST(CommandLine, ArgumentsSelectTheModeOrAreRefused) {
    using Parsed = std::tuple<Mode, QString, QString, QString>;  // mode, db, central, screenshot
    const std::pair<QStringList, Parsed> accepted[] = {
        {{}, {Mode::Gui, "", "", ""}},
        {{"--db", "/x/DB"}, {Mode::Gui, "/x/DB", "", ""}},
        {{"--central=DRIVER={FreeTDS};SERVER=s"}, {Mode::Gui, "", "DRIVER={FreeTDS};SERVER=s", ""}},
        {{"--sync", "--central", "c.sqlite", "--db", "d"}, {Mode::Sync, "d", "c.sqlite", ""}},
        {{"--refresh", "--central", "c.sqlite"}, {Mode::Refresh, "", "c.sqlite", ""}},
        {{"--screenshot", "out.png"}, {Mode::Screenshot, "", "", "out.png"}},
        {{"--version"}, {Mode::Version, "", "", ""}},
        {{"--db", "x", "--help"}, {Mode::Help, "x", "", ""}},
    };
    for (const auto& [args, expected] : accepted) {
        const CommandLine cl = app::parseCommandLine(QStringList{"zelvorin"} + args);
        EXPECT_EQ(Parsed(cl.mode, cl.db, cl.central, cl.screenshot), expected) << cl.error.toStdString();
    }
    const QStringList refused[] = {
        {"--sync"}, {"--sync", "--central", "c", "--screenshot", "o.png"}, {"--db"}, {"--central="}, {"DB"},
        {"--refresh"}, {"--refresh", "--sync", "--central", "c"}};
    for (const QStringList& args : refused)
        EXPECT_FALSE(app::parseCommandLine(QStringList{"zelvorin"} + args).error.isEmpty())
            << args.join(' ').toStdString();
}

TEST(ConnectionString, NamesTheDbFolderBesideTheExecutable) {
    const QString exeFolder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(
        localConnectionString(defaultDataSource()),
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + exeFolder + "\\DB;Extended Properties=dBASE IV");
}

class StartUp : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    CommandLine cl;
    int code = -1;
};

TEST_F(StartUp, AMissingFolderOrCentralFileIsNamedInARussianMessage) {
    cl.central = testapp::buildDatabase(tmp);
    cl.db = tmp.filePath("no/such/DB");
    EXPECT_EQ(app::startMainWindow(cl, &code), nullptr);
    cl.db = tmp.filePath("DB");
    cl.central = tmp.filePath("absent.sqlite");
    EXPECT_EQ(app::startMainWindow(cl, &code), nullptr);
    EXPECT_NE(code, 0);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_TRUE(
        boxes.texts()[0].startsWith("Не удалось открыть базу данных в папке " + tmp.filePath("no/such/DB")));
    EXPECT_TRUE(boxes.texts()[1].startsWith("Не удалось подключиться к центральной базе данных.\n") &&
                boxes.texts()[1].contains(cl.central));
    EXPECT_FALSE(QFile::exists(cl.central));
    EXPECT_THROW(Global::Cn(), core::DbError) << "no connection is left behind";
}

TEST_F(StartUp, CentralStatementsGoThroughTheLink) {
    cl.central = testapp::buildDatabase(tmp);
    cl.db = tmp.filePath("DB");
    auto w = app::startMainWindow(cl, &code);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Global::Cn().open("select * from tbl_stuffs (nolock) where ind_position>0")->field("ind"),
              core::Value::int32(9001));
}

TEST_F(StartUp, SyncBuildsAMissingFolderAndRefusesABuiltOne) {
    cl.central = testapp::buildDatabase(tmp, false);
    cl.db = tmp.filePath("fresh/DB");
    EXPECT_EQ(app::runSync(cl), 0);
    EXPECT_EQ(store::openFolder(cl.db)->open("SELECT COUNT(*) AS N FROM TBL_CSTS")->field("N").toInt32(), 2);
    EXPECT_NE(app::runSync(cl), 0) << "a second run meets the tables it would create";
    cl.db = tmp.filePath("DB");
    cl.central = tmp.filePath("absent.sqlite");
    EXPECT_NE(app::runSync(cl), 0);
    EXPECT_FALSE(QFile::exists(tmp.filePath("DB/TBL_APPS.dbf")))
        << "nothing is written without a central file";
    EXPECT_FALSE(QFile::exists(cl.central));
}

}  // namespace

// The command line: what the arguments select, the start-up's failures, and the
// synchronisation run that builds a folder and exits.
#include "app/command_line.h"
#include "app/mdi_zelvorin.h"
#include "app_fixture.h"
#include "support/scripted_seams.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

using app::CommandLine;
using Mode = CommandLine::Mode;

namespace {

struct ParseCase {
    const char* name;
    QStringList args;
    Mode mode;
    QString db;
    QString central;
    QString screenshot;
    bool fails;
};

class Arguments : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Arguments, SelectTheMode) {
    const ParseCase& c = GetParam();
    const CommandLine cl = app::parseCommandLine(QStringList{"zelvorin"} + c.args);
    EXPECT_EQ(!cl.error.isEmpty(), c.fails) << cl.error.toStdString();
    if (c.fails)
        return;
    EXPECT_EQ(cl.mode, c.mode);
    EXPECT_EQ(cl.db, c.db);
    EXPECT_EQ(cl.central, c.central);
    EXPECT_EQ(cl.screenshot, c.screenshot);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Arguments,
    ::testing::Values(
        ParseCase{"Nothing", {}, Mode::Gui, "", "", "", false},
        ParseCase{"Folder", {"--db", "/x/DB"}, Mode::Gui, "/x/DB", "", "", false},
        ParseCase{"FolderWithEquals", {"--db=/x/DB"}, Mode::Gui, "/x/DB", "", "", false},
        ParseCase{"OdbcCentral",
                  {"--central", "DRIVER={FreeTDS};SERVER=s;DATABASE=d"},
                  Mode::Gui,
                  "",
                  "DRIVER={FreeTDS};SERVER=s;DATABASE=d",
                  "",
                  false},
        ParseCase{
            "Sync", {"--sync", "--central", "c.sqlite", "--db", "d"}, Mode::Sync, "d", "c.sqlite", "", false},
        ParseCase{"SyncWithoutCentral", {"--sync"}, Mode::Sync, "", "", "", true},
        ParseCase{"Screenshot", {"--screenshot", "out.png"}, Mode::Screenshot, "", "", "out.png", false},
        ParseCase{"SyncAndScreenshot",
                  {"--sync", "--central", "c", "--screenshot", "o.png"},
                  Mode::Sync,
                  "",
                  "",
                  "",
                  true},
        ParseCase{"Version", {"--version"}, Mode::Version, "", "", "", false},
        ParseCase{"HelpWins", {"--db", "x", "--help"}, Mode::Help, "x", "", "", false},
        ParseCase{"MissingValue", {"--db"}, Mode::Gui, "", "", "", true},
        ParseCase{"EmptyValue", {"--central="}, Mode::Gui, "", "", "", true},
        ParseCase{"Unknown", {"--frobnicate"}, Mode::Gui, "", "", "", true},
        ParseCase{"StrayWord", {"DB"}, Mode::Gui, "", "", "", true}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(ConnectionString, NamesTheDbFolderBesideTheExecutableOrTheGivenOne) {
    const QString exeFolder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(
        localConnectionString(defaultDataSource()),
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + exeFolder + "\\DB;Extended Properties=dBASE IV");
    EXPECT_EQ(store::dataSourceFolder(localConnectionString(defaultDataSource())), exeFolder + "/DB");
    CommandLine cl;
    cl.db = "/srv/desk/data";
    EXPECT_EQ(app::dataSourceFor(cl), "/srv/desk/data");
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QTemporaryDir tmp;
    testapp::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
};

TEST_F(StartUp, MissingFolderGivesAMessageNamingItAndAnExitCode) {
    CommandLine cl;
    cl.db = tmp.filePath("no/such/DB");
    int code = 0;
    auto w = app::startMainWindow(cl, &code);
    EXPECT_EQ(w, nullptr);
    EXPECT_NE(code, 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(cl.db)) << boxes.shown[0].text.toStdString();
    EXPECT_FALSE(Global::hasCn());
}

TEST_F(StartUp, MissingCentralFileGivesAMessageAndAnExitCode) {
    testapp::buildDatabase(tmp);
    CommandLine cl;
    cl.db = tmp.filePath("DB");
    cl.central = tmp.filePath("absent.sqlite");
    int code = 0;
    auto w = app::startMainWindow(cl, &code);
    EXPECT_EQ(w, nullptr);
    EXPECT_NE(code, 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(cl.central));
    EXPECT_FALSE(QFile::exists(cl.central));
}

TEST_F(StartUp, CentralStatementsGoThroughTheLink) {
    const QString central = testapp::buildDatabase(tmp);
    CommandLine cl;
    cl.db = tmp.filePath("DB");
    cl.central = central;
    int code = 1;
    auto w = app::startMainWindow(cl, &code);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(code, 0);
    auto rs = Global::Cn().open("select * from tbl_stuffs (nolock) where ind_position>0");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field("ind"), core::Value::int32(9001));
    w.reset();
}

TEST_F(StartUp, SyncBuildsAMissingFolderAndRefusesABuiltOne) {
    const QString central = testapp::buildDatabase(tmp, false);
    CommandLine cl;
    cl.mode = Mode::Sync;
    cl.db = tmp.filePath("fresh/DB");
    cl.central = central;
    EXPECT_EQ(app::runSync(cl), 0);
    {
        auto cn = store::openFolder(cl.db);
        auto rs = cn->open("SELECT COUNT(*) AS N FROM TBL_CSTS");
        EXPECT_EQ(rs->field("N").toInt32(), 2);
        EXPECT_NO_THROW(cn->open("SELECT * FROM TBL_APPS"));
    }
    EXPECT_NE(app::runSync(cl), 0) << "a second run meets the tables it would create";
}

TEST_F(StartUp, SyncFromAMissingCentralFileFailsBeforeWritingAnything) {
    CommandLine cl;
    cl.mode = Mode::Sync;
    cl.db = tmp.filePath("DB");
    cl.central = tmp.filePath("absent.sqlite");
    EXPECT_NE(app::runSync(cl), 0);
    EXPECT_FALSE(QFile::exists(tmp.filePath("DB/TBL_APPS.dbf")));
    EXPECT_FALSE(QFile::exists(cl.central));
}

}  // namespace

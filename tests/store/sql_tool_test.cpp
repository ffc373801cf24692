// zelvorin-sql run as a process on a scratch folder: usage, executed statements,
// tab-separated query output and errors.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store_helpers.h"

namespace {

// Statements that change the folder succeed quietly, usage faults exit with 2, failed
// statements with 1 and a reason on stderr; a query prints a header and tab-separated
// rows, numbers with a point whatever the locale, null as an empty cell, texts in UTF-8.
TEST(SqlToolTest, EachRunEndsWithItsExitCodeAndOutput) {
    QProcessEnvironment russian = QProcessEnvironment::systemEnvironment();
    russian.insert("LC_ALL", "ru_RU.UTF-8");
    russian.insert("LANG", "ru_RU.UTF-8");
    const QTemporaryDir dir;
    const QString db = dir.path();
    const struct { QStringList args; int exitCode; const char* out; } cases[] = {
        // Two bands of costs and a type.
        {{db, "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)"}, 0, ""},
        {{db, "INSERT INTO TBL_CSTS VALUES(2, 10, 0.5, 0, 48000.25), (1, 10, 0, 5, 50000)"}, 0, ""},
        {{db, "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))"}, 0, ""},
        {{db, "INSERT INTO TBL_TPS(TP_NM) VALUES(' Арматура ''А500С''')"}, 0, ""},
        {{db, "  update TBL_CSTS SET CST=1 WHERE IND=1"}, 0, ""},
        {{db}, 2, ""},
        {{db, "SELECT 1", "extra"}, 2, ""},
        {{db, "SELECT * FROM TBL_NONE"}, 1, ""},
        {{db, "CREATE TABLE TBL_CSTS (IND int)"}, 1, ""},
        {{dir.filePath("no-such-folder"), "SELECT * FROM TBL_CSTS"}, 1, ""},
        {{db, "SELECT * FROM TBL_CSTS ORDER BY IND"},
         0,
         "IND\tIND_STF\tVL_FRM\tVL_TO\tCST\n1\t10\t0\t5\t1\n2\t10\t0.5\t0\t48000.25\n"},
        {{db, " \r\n\tselect MAX(IND) AS MAX_IND from TBL_CSTS"}, 0, "MAX_IND\n2\n"},
        {{db, "SELECT TP_NM, IND FROM TBL_TPS"}, 0, "TP_NM\tIND\n Арматура 'А500С'\t\n"},
        {{db, "SELECT * FROM TBL_CSTS WHERE IND=3"}, 0, "IND\tIND_STF\tVL_FRM\tVL_TO\tCST\n"},
    };
    for (const auto& c : cases) {
        const storetest::ProgramRun r = storetest::run(ZELVORIN_BINARY_DIR "/zelvorin-sql", c.args, russian);
        const std::string what = c.args.join(" / ").toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out)) << what;
        EXPECT_EQ(r.err.trimmed().isEmpty(), c.exitCode == 0) << what;
        EXPECT_TRUE(c.exitCode != 2 || r.err.contains("usage")) << what;
    }
}

}  // namespace

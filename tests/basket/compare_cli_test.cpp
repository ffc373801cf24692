// `zelvorin --compare` run as a process on a folder made by the synchronisation from the
// demo central database: the grid and the summary on stdout, the export, the exit codes.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "order/clsZak.h"
#include "store/dbf_connection.h"
#include "store/store_helpers.h"

namespace {

const QString kBin = QStringLiteral(ZELVORIN_BINARY_DIR);

TEST(CompareCommand, PrintsTheGridAndSummaryWritesTheFileAndFailsOnAMissingOrder) {
    QTemporaryDir dir;
    const QString central = dir.filePath("c.sqlite"), db = dir.filePath("DB");
    ASSERT_EQ(storetest::run(kBin + "/zelvorin-demo-gen", {central, "--scale", "0.2"}).exitCode, 0);
    const auto sync = storetest::run(kBin + "/zelvorin", {"--sync", "--central", central, "--db", db});
    ASSERT_EQ(sync.exitCode, 0) << sync.err.toStdString();
    {
        // An order of two offered positions, the first of them twice at other quantities.
        std::unique_ptr<store::Connection> cn = store::openFolder(db);
        QList<int> keys;
        for (auto rs = cn->open("SELECT DISTINCT IND_PST FROM TBL_STFS ORDER BY IND_PST"); !rs->eof() && keys.size() < 2;
             rs->moveNext())
            keys << rs->field("IND_PST").toInt32();
        ASSERT_EQ(keys.size(), 2);
        clsZak order;
        order.setConnection(cn.get());
        order.Init();
        for (const auto& [idn, qty] : {std::pair{keys[0], 2.5}, {keys[1], 1.0}, {keys[0], 40.0}}) {
            order.InsertRow();
            order.setField("idn", idn);
            order.setField("qty", core::Value::dbl(qty));
        }
        order.SaveOrder();
        ASSERT_EQ(order.norder, 1);
    }

    const auto p = storetest::run(kBin + "/zelvorin", {"--compare", "1", "--db", db, "--export", dir.filePath("c.csv")});
    ASSERT_EQ(p.exitCode, 0) << p.err.toStdString();
    const QStringList out = p.out.split('\n');
    ASSERT_GE(out.size(), 6) << p.out.toStdString();
    EXPECT_EQ(out[2].split('\t').mid(0, 4), (QStringList{"Отм", "Город", "Поставщик", "Итого\\Заказ"}));
    EXPECT_EQ(out[2].split('\t').mid(4), (QStringList{"2.5", "1", "40"}));
    // Every complete base's total is the sum of its printed prices times the quantities (a
    // large total is shown in whole units).
    int complete = 0, row = 3;
    for (; row < out.size() && !out[row].isEmpty(); ++row) {
        const QStringList f = out[row].split('\t');
        ASSERT_EQ(f.size(), 7) << out[row].toStdString();
        if (f[3].isEmpty()) continue;
        ++complete;
        EXPECT_NEAR(f[3].toDouble(), 2.5 * f[4].toDouble() + f[5].toDouble() + 40 * f[6].toDouble(), 0.5)
            << out[row].toStdString();
    }
    EXPECT_GT(complete, 0);
    EXPECT_TRUE(out.value(row + 1).startsWith("Целиком дешевле всего: ")) << p.out.toStdString();
    EXPECT_TRUE(out.value(row + 2).startsWith("Лучшая разбивка: ")) << p.out.toStdString();
    const auto csv = storetest::run("/usr/bin/python3",
                                    {"-c",
                                     "import csv,sys\nrows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig'),"
                                     "delimiter=';'))\nprint(len(rows), rows[2][3:6])",
                                     dir.filePath("c.csv")});
    EXPECT_EQ(csv.out.trimmed(), QString("%1 ['2.5', '1', '40']").arg(row + 3)) << csv.err.toStdString();

    const auto missing = storetest::run(kBin + "/zelvorin", {"--compare", "2", "--db", db});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("заявки 2 нет в папке")) << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(storetest::run(kBin + "/zelvorin", {"--compare", "один", "--db", db}).exitCode, 2);
}

}  // namespace

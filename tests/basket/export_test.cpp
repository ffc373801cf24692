// The comparison's files: a Russian decimal comma and quoted texts in the .csv, the
// proposed file names, and a file that cannot be written leaving everything as it was.
#include "basket/export.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "basket/decision.h"
#include "basket_db.h"
#include "support/scripted_seams.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

TEST(Export, CsvUsesTheOperatorsDecimalMarkAndAFileThatCannotBeWrittenChangesNothing) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    BasketDb db;
    db.fillCatalogue();
    db.exec("UPDATE TBL_BSS SET BS_NM='Север; склад \"2\"' WHERE IND=1");
    BasketDb::addLine(100, 4);
    BasketDb::addLine(102, 0.75);
    const Comparison cmp = BuildComparison(Global::Cn(), Global::CurrentOrder());
    const Decision d(cmp, LoadOffers(Global::Cn()));
    // The keys name 3 and 1 first; the bases the list leaves out follow in the grid's order.
    const basket_export::Table t = basket_export::makeTable(cmp, d, {3, 99, 1}, QLocale());
    const QByteArray bytes = basket_export::csvBytes(t, QLocale());
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n");
    EXPECT_EQ(lines.mid(2, 4),
              (QStringList{"Город;Поставщик;Итого\\Заказ;4;0,75;Дешевле всего",
                           "Челябинск;УралМет;;49900;;Арматура А500С ф12 11,7 м",
                           "Москва;\"Север; склад \"\"2\"\"\";254500;50500;70000;итог",
                           "Екатеринбург;СтальСнаб;260000;51500;72000;"}));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("busy.xlsx"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("busy.csv"));
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const char* name : {"busy.xlsx", "busy.csv", "plain/x.csv"}) {
        QString error;
        EXPECT_FALSE(basket_export::writeTable(t, dir.filePath(name), QLocale(), &error)) << name;
        EXPECT_TRUE(error.startsWith("Не удалось записать файл " + dir.filePath(name) + ": ")) << error.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              (QStringList{"busy.csv", "busy.xlsx", "plain"}));
    EXPECT_EQ(QFileInfo(dir.filePath("plain")).size(), 0);

    clsZak& o = Global::CurrentOrder();
    EXPECT_EQ(basket_export::proposedFileName(o, QDate(2026, 12, 8)), "Заявка не сохранена 08.12.2026.xlsx");
    o.norder = 12;
    o.create_date = "01.11.2026";
    EXPECT_EQ(basket_export::proposedFileName(o, QDate(2026, 12, 8)), "Заявка 12 01.11.2026.xlsx");
}

}  // namespace

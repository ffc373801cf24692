// The print-out of an order: its lines come from the order itself, also when the comparison
// could not be built, and a wide comparison is split into tables of a few line columns
// with the bases repeated, marks and summary included, on landscape pages.
#include "basket/basket_print.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "basket/decision.h"
#include "basket_db.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

TEST(PrintOut, LinesComeFromTheOrderAndAWideComparisonIsSplitWithTheBasesRepeated) {
    BasketDb db;
    db.fillCatalogue();
    for (int i = 0; i < 12; ++i) BasketDb::addLine(100 + i % 3, 1 + i, i == 11 ? "последняя" : "");
    const Comparison cmp = BuildComparison(Global::Cn(), Global::CurrentOrder());
    const Decision d(cmp, LoadOffers(Global::Cn()));
    Global::CurrentOrder().MoveTo(4);
    const basket_print::PrintedOrder p = basket_print::collectOrder(Global::CurrentOrder(), cmp, {}, &d);
    EXPECT_EQ(Global::CurrentOrder().Field("pos").toInt32(), 4);
    ASSERT_EQ(p.lines.size(), 12);
    EXPECT_EQ(QStringList({p.lines[11].name, p.lines[11].qty, p.lines[11].note}),
              QStringList({"Труба 40х20х2 6 м", "12", "последняя"}));
    EXPECT_EQ(p.tableMarks.value(1).value(2), d.cheapestTotal(1));
    EXPECT_EQ(p.summary, d.summary(QLocale()));
    const QString html = basket_print::orderHtml(p);
    EXPECT_TRUE(html.contains("Позиции 1–6 из 12") && html.contains("Позиции 7–12 из 12"));
    EXPECT_EQ(html.count("<th>Поставщик</th>"), 2);
    EXPECT_TRUE(html.contains(p.summary.value(0).toHtmlEscaped()));

    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(basket_print::writeOrderPdf(p, dir.filePath("order.pdf"), &error)) << error.toStdString();
    if (qEnvironmentVariableIsSet("ZELVORIN_KEEP_PDF")) QFile::copy(dir.filePath("order.pdf"), qEnvironmentVariable("ZELVORIN_KEEP_PDF"));
    QFile pdf(dir.filePath("order.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().contains("/MediaBox [0 0 842.000000 595.000000]"));  // A4 landscape, in points

    // Without a comparison the lines keep their names from the reference tables.
    const basket_print::PrintedOrder bare = basket_print::collectOrder(Global::CurrentOrder(), Comparison{});
    EXPECT_EQ(QStringList({bare.lines.value(0).group, bare.lines.value(0).name, bare.lines.value(1).qty}),
              QStringList({"Арматура", "Арматура А500С ф12 11,7 м", "2"}));
    EXPECT_TRUE(basket_print::orderHtml(bare).contains("Сравнение предложений не построено."));
}

}  // namespace

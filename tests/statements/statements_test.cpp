// The statements the program sends to its local tables, run on a folder that the real
// synchronisation built from scripted central rows, with the results checked value by
// value and by type. Every statement comes from the program's own builders.
#include <gtest/gtest.h>

#include <QDate>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_logic.h"
#include "core/value.h"
#include "db/schema.h"
#include "db/sync.h"
#include "orderlist/basket_list_logic.h"
#include "store/dbf_connection.h"
#include "support/show_value.h"
#include "support/recording_connection.h"

namespace {

using core::Value;
using Strings = std::vector<std::string>;

using testsupport::show;

// The central rows, in the order of each table's columns.
const std::map<QString, std::vector<std::vector<Value>>>& centralRows() {
    static const std::map<QString, std::vector<std::vector<Value>>> rows = {
        {"TBL_TPS", {{1, "Арматура"}, {2, "Уголок "}, {4, "Труба"}}},
        {"TBL_GRPS", {{10, 1, "Арматура А500С"}, {11, 1, "Арматура А240"}, {40, 4, "Труба ВГП"}}},
        {"TBL_PSTS",
         {{100, 10, "Арматура 12 А500С"},
          {101, 10, "Арматура 10 А500С"},
          {102, 10, "Арматура 14 А500С"},
          {400, 40, "Труба ВГП 15х2,8 (1/2'')"}}},
        {"TBL_RGNS", {{1, "Московская обл."}, {2, "Свердловская обл."}}},
        {"TBL_CTS", {{1, 1, "Москва"}, {2, 2, "Екатеринбург"}, {3, 1, " Подольск"}}},
        {"TBL_ORGS", {{1, "ООО 'Сталь'"}, {2, "ТД «Прокат»"}}},
        {"TBL_BSS",
         {{1, 1, 1, "Сталь (склад №1)"},
          {2, 2, 2, "Прокат (база Южная)"},
          {3, 3, 1, "Сталь (Подольск)"},
          {4, 2, 2, "Прокат (без прайса)"}}},
        {"TBL_PRSS", {{1, 1, "Прайс Сталь"}, {2, 2, "Прайс Прокат"}, {3, 3, "Прайс Подольск"}}},
        {"TBL_STFS",
         {{1000, 100, 1, "Арм. 12 А500С"},
          {1001, 100, 2, "Арматура ф12 11,7м"},
          {1002, 100, 3, " арматура 12"},
          {1003, 101, 1, "Арм. 10"},
          {1005, 400, 2, "Труба 1/2''"}}},
        {"TBL_CSTS",
         {{1, 1000, 0.0, 5.0, 50000.0},
          {2, 1000, 5.0, 10.0, 49000.0},
          {3, 1000, 10.0, 0.0, 48000.5},
          {4, 1001, 0.0, 0.0, 51000.0},
          {5, 1002, 0.0, 7.0, 52000.0},
          {6, 1003, 0.0, 1.0, 55000.0},
          {7, 1003, 1.0, 5.0, 54000.0},
          {8, 1003, 10.0, 20.0, 53000.0},
          {9, 1005, 0.5, 0.0, 70000.25}}},
    };
    return rows;
}

class StatementsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        cn_ = store::openFolder(dir_.path());
        testsupport::RecordingConnection central(cn_.get());
        QSet<QString> all;
        for (const db::Table& t : db::tables()) {
            if (!t.isReference()) continue;
            all << t.name;
            testsupport::Rows rows;
            for (const auto& values : centralRows().at(t.name)) {
                testsupport::Row row;
                for (int i = 0; i < t.columns.size(); ++i)
                    row.emplace_back(t.columns[i].sourceField, values[i]);
                rows.push_back(row);
            }
            central.answer(t.sourceQuery, rows);
        }
        db::synchronise(central, all);
    }

    // The rows of a query, each as its fields' show() texts joined by " | ".
    Strings rows(const QString& sql, const QStringList& fields, bool sorted = false) {
        Strings out;
        auto rs = cn_->open(sql);
        for (; !rs->eof(); rs->moveNext()) {
            std::string row;
            for (const QString& f : fields) row += (row.empty() ? "" : " | ") + show(rs->field(f));
            out.push_back(row);
        }
        if (sorted) std::sort(out.begin(), out.end());
        return out;
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> cn_;
};

TEST_F(StatementsTest, SynchronisedRowsReadBackWithTheirTypes) {
    EXPECT_EQ(rows("SELECT * FROM TBL_TPS", {"IND", "TP_NM"}, true),
              (Strings{"i:1 | t:[Арматура]", "i:2 | t:[Уголок]", "i:4 | t:[Труба]"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_PSTS WHERE IND=400", {"IND", "IND_GRP", "PST_NM"}),
              (Strings{"i:400 | i:40 | t:[Труба ВГП 15х2,8 (1/2'')]"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_CTS WHERE IND=3", {"CT_NM"}), (Strings{"t:[ Подольск]"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_CSTS WHERE IND=9", {"IND_STF", "VL_FRM", "VL_TO", "CST"}),
              (Strings{"i:1005 | d:0.5 | d:0 | d:70000.25"}));
    for (const QString& table : db::workingTables())
        EXPECT_TRUE(rows(QStringLiteral("SELECT * FROM ") + table, {"IND"}).empty()) << table.toStdString();
}

TEST_F(StatementsTest, PositionsOfAGroupWithLowestAndHighestPrice) {
    const struct {
        std::vector<catalogue::BaseMark> marks;
        Strings expected;
    } cases[] = {
        // No base marked: every base counts. Position 102 has no offer and is not listed.
        {{},
         {"i:101 | t:[Арматура 10 А500С] | d:53000 | d:55000",
          "i:100 | t:[Арматура 12 А500С] | d:48000.5 | d:52000"}},
        {{{"1", "V"}, {"2", "V"}, {"3", ""}},
         {"i:101 | t:[Арматура 10 А500С] | d:53000 | d:55000",
          "i:100 | t:[Арматура 12 А500С] | d:48000.5 | d:51000"}},
        {{{"3", "V"}}, {"i:100 | t:[Арматура 12 А500С] | d:52000 | d:52000"}},
        {{{"4", "V"}}, {}},
    };
    for (const auto& c : cases) {
        const QString filter = catalogue::BasesFilter(c.marks);
        EXPECT_EQ(rows(catalogue::positionsStatement(catalogue::positionsCondition(10, filter)),
                       {"IND", "PST_NM", "MIN_CST", "MAX_CST"}),
                  c.expected)
            << filter.toStdString();
    }
}

TEST_F(StatementsTest, BandLimitsAndOffersOfAPosition) {
    EXPECT_EQ(rows(catalogue::bandLimitsStatement("100"), {"VL"}), (Strings{"d:0", "d:5", "d:7", "d:10"}));
    EXPECT_EQ(rows(catalogue::bandLimitsStatement("101"), {"VL"}),
              (Strings{"d:0", "d:1", "d:5", "d:10", "d:20"}));
    EXPECT_TRUE(rows(catalogue::bandLimitsStatement("102"), {"VL"}).empty());

    const QStringList fields = {"IND", "CT_NM", "BS_NM", "TO_OUT", "VL_FRM", "CST"};
    Strings offers = rows(catalogue::offersStatement("100", QString()), fields);
    ASSERT_EQ(offers.size(), 5u);
    // The bands of one offer share every sort key, so their own order is free.
    std::sort(offers.begin() + 1, offers.begin() + 4);
    const std::string moscow = "i:1000 | t:[Москва] | t:[Сталь (склад №1)] | t:[Арм. 12 А500С]";
    const std::string south =
        "i:1001 | t:[Екатеринбург] | t:[Прокат (база Южная)] | t:[Арматура ф12 11,7м] | d:0 | d:51000";
    EXPECT_EQ(offers,
              (Strings{"i:1002 | t:[ Подольск] | t:[Сталь (Подольск)] | t:[ арматура 12] | d:0 | d:52000",
                       moscow + " | d:0 | d:50000", moscow + " | d:10 | d:48000.5",
                       moscow + " | d:5 | d:49000", south}));
    EXPECT_EQ(rows(catalogue::offersStatement("100", catalogue::BasesFilter({{"2", "V"}})), fields),
              (Strings{south}));
}

TEST_F(StatementsTest, BasesListByRegionCityAndName) {
    EXPECT_EQ(rows(catalogue::basesStatement(), {"RGN_NM", "CT_NM", "IND", "BS_NM"}),
              (Strings{"t:[Московская обл.] | t:[ Подольск] | i:3 | t:[Сталь (Подольск)]",
                       "t:[Московская обл.] | t:[Москва] | i:1 | t:[Сталь (склад №1)]",
                       "t:[Свердловская обл.] | t:[Екатеринбург] | i:2 | t:[Прокат (база Южная)]",
                       "t:[Свердловская обл.] | t:[Екатеринбург] | i:4 | t:[Прокат (без прайса)]"}));
}

TEST_F(StatementsTest, OrderListByStateAndCreationDay) {
    const struct {
        int ind, state;
        const char* created;
    } orders[] = {{1, 2, "2010.09.27 14:05"},
                  {2, 1, "2010.09.26 09:00"},
                  {3, 1, "2010.09.27 23:59"},
                  {4, 1, "2010.09.28 00:00"},
                  {5, 1, ""},
                  {6, 0, "2010.09.27 10:00"},
                  {7, 1, "2010.09.25 23:59"}};
    for (const auto& o : orders)
        cn_->execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES(%1, %2, '%3')")
                         .arg(o.ind)
                         .arg(o.state)
                         .arg(QLatin1String(o.created)));
    const QDate d26(2010, 9, 26), d27(2010, 9, 27);
    const struct {
        int state;  // 0: every state
        QDate from, to;
        Strings expected;
    } cases[] = {
        {1, d26, d27, {"i:2 | i:1", "i:3 | i:1"}},
        // Every state, 0 included; an order without a creation text never shows.
        {0, d26, d27, {"i:1 | i:2", "i:2 | i:1", "i:3 | i:1", "i:6 | i:0"}},
        {2, d27, d27, {"i:1 | i:2"}},
        {3, d26, d27, {}},
        {1, d27.addDays(1), d27.addDays(1), {"i:4 | i:1"}},
    };
    for (const auto& c : cases) {
        const QString sql = orderlist::listStatement(orderlist::stateFilterItems().at(c.state), c.from, c.to);
        EXPECT_EQ(rows(sql, {"IND", "IND_STT"}), c.expected) << sql.toStdString();
    }
}

}  // namespace

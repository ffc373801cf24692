// The statements the program sends to its local tables, run on a folder that the real
// synchronisation built from scripted central rows, with the results checked value by
// value and by type. Every statement comes from the program's own builders.
#include <gtest/gtest.h>

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
#include "store/dbf_connection.h"
#include "support/show_value.h"
#include "support/recording_connection.h"

namespace {

using core::Value;
using Strings = std::vector<std::string>;

using testsupport::show;

// The central rows, in the order of each table's columns; only these tables are synchronised.
const std::map<QString, std::vector<std::vector<Value>>>& centralRows() {
    static const std::map<QString, std::vector<std::vector<Value>>> rows = {
        {"TBL_GRPS", {{10, 1, "Арматура А500С"}, {11, 1, "Арматура А240"}, {40, 4, "Труба ВГП"}}},
        {"TBL_PSTS",
         {{100, 10, "Арматура 12 А500С"},
          {101, 10, "Арматура 10 А500С"},
          {102, 10, "Арматура 14 А500С"},
          {400, 40, "Труба ВГП 15х2,8 (1/2'')"}}},
        {"TBL_RGNS", {{1, "Московская обл."}, {2, "Свердловская обл."}}},
        {"TBL_CTS", {{1, 1, "Москва"}, {2, 2, "Екатеринбург"}, {3, 1, " Подольск"}}},
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
            if (!t.isReference() || !centralRows().count(t.name)) continue;
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
    Strings rows(const QString& sql, const QStringList& fields) {
        Strings out;
        auto rs = cn_->open(sql);
        for (; !rs->eof(); rs->moveNext()) {
            std::string row;
            for (const QString& f : fields) row += (row.empty() ? "" : " | ") + show(rs->field(f));
            out.push_back(row);
        }
        return out;
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> cn_;
};

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

}  // namespace

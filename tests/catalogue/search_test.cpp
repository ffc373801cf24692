// Which names the context search finds for the words typed.

#include <gtest/gtest.h>

#include "catalogue/search.h"
#include "support/scripted_seams.h"

namespace {

TEST(ContextSearch, EveryWordMatchesAWordStartOrAWholeNumberOfTheName) {
    const QStringList names = {"Арматура 12 мм А500С",  "Арматура 120 А240", "Труба 1200х12 ёлочка",
                               "Арматура А500С ф12 11,7 м", "Лист 2.5 мм ст3", "Круг 40Х 50_%"};
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"арм", {0, 1, 3}},         {"АРМАТУРА 12", {0, 3}},  {"12", {0, 2, 3}},    {"120", {1}},
        {"A500C", {0, 3}},          {"а500", {0, 3}},         {"11.7", {3}},        {"11,7 м", {3}},
        {"2,5", {4}},               {"елочка", {2}},          {"ЁЛ", {2}},          {"40x", {5}},
        {"  арм   120 ", {1}},      {"", {}},                 {"   ", {}},          {"%", {}},
        {"_", {}},                  {"' OR 1=1 --", {}},      {"\\", {}},          {"мм 2", {}},
    };
    for (const QLocale& locale : {QLocale(QLocale::Russian), QLocale(QLocale::English)}) {
        testsupport::LocaleGuard guard(locale);
        catalogue::PositionSearch search;
        for (int k = 0; k < names.size(); ++k) search.add(k, names[k]);
        for (const auto& [words, hits] : cases)
            EXPECT_EQ(search.find(QString::fromUtf8(words)), hits) << words << " in " << locale.name().toStdString();
    }
    EXPECT_EQ(catalogue::searchCondition({7, 9}, " AND d.IND_BS IN (1)"), "a.IND IN (7,9) AND d.IND_BS IN (1)");
    EXPECT_EQ(catalogue::searchCondition({}, ""), "a.IND IN (0)");
}

}  // namespace

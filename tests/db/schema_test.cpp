// The table descriptions: the limits of the table files, the exact texts, and look-up.
#include "db/schema.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Schema, NamesFitTheTableFilesAndTheTextsAreExact) {
    for (const db::Table& t : db::tables()) {
        EXPECT_LE(t.name.size(), 8) << t.name.toStdString();
        for (const db::Column& c : t.columns) {
            EXPECT_LE(c.name.size(), 10) << c.name.toStdString();
            EXPECT_TRUE(c.definition.startsWith(c.name + ' ')) << c.definition.toStdString();
            EXPECT_EQ(c.sourceField.isEmpty(), !t.isReference()) << c.name.toStdString();
        }
    }
    // The order tables write varchar without a blank, the reference tables with one.
    EXPECT_EQ(db::createStatement("TBL_APPS"),
              "CREATE TABLE TBL_APPS (IND int,IND_STT int,CGT_NM varchar(250),CNT_NM varchar(250),TLP "
              "varchar(250),ML varchar(250),CMT varchar(250),ADVT varchar(250),CR_DT varchar(25))");
    EXPECT_EQ(db::createStatement("TBL_TPS"), "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))");
    EXPECT_EQ(db::allTables(), db::workingTables() + db::referenceTables());
    // Look-up ignores case and refuses unknown tables.
    ASSERT_NE(db::findTable("tbl_csts"), nullptr);
    EXPECT_EQ(db::findTable("tbl_csts")->name, "TBL_CSTS");
    EXPECT_EQ(db::findTable("TBL_NONE"), nullptr);
    EXPECT_THROW(db::createStatement("TBL_NONE"), std::out_of_range);
    EXPECT_THROW(db::sourceQuery("TBL_NONE"), std::out_of_range);
}

}  // namespace

// Our .dbf files checked by peers nobody here wrote: files the store writes must read
// the same in python3-dbfread and in GDAL's ogrinfo, and files GDAL writes in cp1251
// or cp866 must read correctly through the store.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "core/value.h"
#include "store/dbf_connection.h"
#include "store/dbf_file.h"
#include "store_helpers.h"

namespace {

const char* const kPython = "/usr/bin/python3";

using storetest::run;

// dbfread's view of a table: its code page, its fields, then its live records with their
// cells tab-separated as "None", "n:<number>" or "t:[text]".
const char* const kDbfreadScript = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1])
print(t.encoding)
for f in t.fields:
    print('%s %s%d.%d' % (f.name, f.type, f.length, f.decimal_count))
for r in t:
    print('\t'.join('None' if v is None else ('t:[%s]' if isinstance(v, str) else 'n:%s') % v
                    for v in r.values()))
)";

// A folder written by the store: texts with Cyrillic letters, quotes and blanks, an
// empty text, doubles with fractions, a null number, updated and deleted records.
class StoreWrittenTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto cn = store::openFolder(dir_.path());
        const char* statements[] = {
            "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(1, 'Арматура'), (2, '  Уголок с пробелами'), "
            "(3, 'ООО ''Сталь'' «Прокат» №1'), (4, ''), (5, 'Ёлка ёж'), (6, 'удалить меня')",
            "UPDATE TBL_TPS SET TP_NM='Арматура А500С' WHERE IND=1",
            "DELETE FROM TBL_TPS WHERE IND=6",
            "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
            "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(1, 10, 0, 5, 50000), "
            "(2, 10, 0.5, 0, 48000.25), (3, -1, 1.5, 10, 123456.789), (4, 11, 0.001, 0.125, 99999.99)",
            "DELETE FROM TBL_CSTS WHERE IND_STF=-1",
            "INSERT INTO TBL_CSTS(IND_STF, VL_FRM, VL_TO, CST) VALUES(-7, 12, 2.5, 100)",
        };
        for (const char* sql : statements) ASSERT_NO_THROW(cn->execute(QString::fromUtf8(sql))) << sql;
    }

    QTemporaryDir dir_;
};

// What each table must hold, as dbfread and ogrinfo should see it.
struct Expected {
    const char* table;
    QStringList fields;                // "NAME <type><length>.<decimals>"
    std::vector<QStringList> records;  // "None", "n:<number>", "t:[text]"
};

const Expected kExpected[] = {
    {"TBL_TPS",
     {"IND N11.0", "TP_NM C250.0"},
     {{"n:1", "t:[Арматура А500С]"},
      {"n:2", "t:[  Уголок с пробелами]"},
      {"n:3", "t:[ООО 'Сталь' «Прокат» №1]"},
      {"n:4", "t:[]"},
      {"n:5", "t:[Ёлка ёж]"}}},
    {"TBL_CSTS",
     {"IND N11.0", "IND_STF N11.0", "VL_FRM N20.6", "VL_TO N20.6", "CST N20.6"},
     {{"n:1", "n:10", "n:0", "n:5", "n:50000"},
      {"n:2", "n:10", "n:0.5", "n:0", "n:48000.25"},
      {"n:4", "n:11", "n:0.001", "n:0.125", "n:99999.99"},
      {"None", "n:-7", "n:12", "n:2.5", "n:100"}}},
};

TEST_F(StoreWrittenTest, DbfreadReadsTheSameTables) {
    if (!QFile::exists(kPython) || run(kPython, {"-c", "import dbfread"}).exitCode != 0)
        GTEST_SKIP() << "python3-dbfread is not installed (needs /usr/bin/python3 with the dbfread module)";
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const storetest::ProgramRun o =
            run(kPython, {"-c", kDbfreadScript, dir_.filePath(QString(e.table) + ".dbf")});
        ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
        QStringList expected = QStringList{"cp1251"} + e.fields;  // the language driver byte, then fields
        for (const QStringList& r : e.records) expected << r.join('\t');
        EXPECT_EQ(o.out.trimmed().toStdString(), expected.join('\n').toStdString());
    }
}

TEST_F(StoreWrittenTest, OgrinfoReadsTheSameTables) {
    const QString ogrinfo = QStandardPaths::findExecutable("ogrinfo");
    if (ogrinfo.isEmpty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed (package gdal-bin)";
    // ogrinfo -al prints each field of each feature as "  NAME (Type) = value".
    static const QRegularExpression fieldLine(QStringLiteral(R"(^  (\w+) \((\w+)\) = (.*)$)"),
                                              QRegularExpression::MultilineOption);
    static const QRegularExpression blanksAround(QStringLiteral(R"(^t:\[\s*(.*?)\s*\]$)"));
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const storetest::ProgramRun o =
            run(ogrinfo, {"-ro", "-al", "-q", dir_.filePath(QString(e.table) + ".dbf")});
        ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
        // Every cell as "NAME Type cell"; GDAL trims both ends of a text and reports a blank
        // one as null.
        QStringList expected, got;
        for (const QStringList& record : e.records)
            for (qsizetype c = 0; c < record.size(); ++c) {
                const QString& f = e.fields[c];
                const char* type = f.contains(" C") ? "String" : f.endsWith(".0") ? "Integer" : "Real";
                const QString cell =
                    QString(record[c]).replace(blanksAround, "t:[\\1]").replace("t:[]", "None");
                expected << f.section(' ', 0, 0) + " " + type + " " + cell;
            }
        for (auto it = fieldLine.globalMatch(o.out); it.hasNext();) {
            const auto m = it.next();
            const QString type = m.captured(2) == "Integer64" ? "Integer" : m.captured(2);
            const QString value = m.captured(3);
            const QString cell = value == "(null)"  ? "None"
                                 : type == "String" ? "t:[" + value + "]"
                                                    : "n:" + core::doubleToText(value.toDouble());
            got << m.captured(1) + " " + type + " " + cell;
        }
        EXPECT_EQ(got.join('\n').toStdString(), expected.join('\n').toStdString()) << o.out.toStdString();
    }
}

// ---- Files written by GDAL ----------------------------------------------------------

struct GdalCase {
    const char* encoding;  // ogr2ogr's ENCODING layer option
    const char* table;
    int languageDriver;  // -1: as GDAL writes it (byte 0 plus a .cpg file); else set it and drop the .cpg
};

class GdalWrittenTest : public ::testing::TestWithParam<GdalCase> {};

TEST_P(GdalWrittenTest, ReadsCorrectlyThroughTheStore) {
    const GdalCase& c = GetParam();
    const QString ogr2ogr = QStandardPaths::findExecutable("ogr2ogr");
    if (ogr2ogr.isEmpty()) GTEST_SKIP() << "GDAL's ogr2ogr is not installed (package gdal-bin)";
    QTemporaryDir src, db;
    storetest::writeFile(src.filePath("src.csv"),
                         "IND,TP_NM,VL\n"
                         "8,Уголок 50х50х5 ст3сп,1234.5\n"
                         "7,\" Арматура  \",0.5\n"
                         "9,,\n"
                         "10,\"Ёж, ёлка №5\",-2.25\n"
                         "11,Труба 1/2'',100000\n");
    storetest::writeFile(src.filePath("src.csvt"), "Integer,String,Real\n");
    const QString target = db.filePath(QString::fromLatin1(c.table) + ".dbf");
    const storetest::ProgramRun o = run(ogr2ogr, {"-f", "ESRI Shapefile", target, src.filePath("src.csv"),
                                                  "-lco", QStringLiteral("ENCODING=") + c.encoding});
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    if (c.languageDriver >= 0) {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(29) && f.putChar(char(c.languageDriver)));
        QFile::remove(db.filePath(QString::fromLatin1(c.table) + ".cpg"));
    }
    const QString query = QStringLiteral("SELECT IND, TP_NM, VL FROM %1 ORDER BY IND").arg(c.table);
    // GDAL writes a null number as asterisks; it reads as null like a blank field.
    EXPECT_EQ(storetest::rows(*store::openFolder(db.path()), query),
              (std::vector<std::string>{
                  "i:7|t:[ Арматура]|d:0.5",
                  "i:8|t:[Уголок 50х50х5 ст3сп]|d:1234.5",
                  "i:9|null|null",
                  "i:10|t:[Ёж, ёлка №5]|d:-2.25",
                  "i:11|t:[Труба 1/2'']|d:100000",
              }));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, GdalWrittenTest,
    ::testing::Values(GdalCase{"CP1251", "GDAL1251", -1}, GdalCase{"CP866", "GDAL866", -1},
                      GdalCase{"CP1251", "LDID1251", 0xC9}, GdalCase{"CP866", "LDID866", 0x26}),
    [](const ::testing::TestParamInfo<GdalCase>& info) { return std::string(info.param.table); });

}  // namespace

// A table another program flagged as having a production index loses the flag on the
// first change (its index does not know the new record), and still reads in both peers.
TEST(PeerIndexFlag, IsClearedByTheFirstChangeAndTheFileStillReads) {
    QTemporaryDir dir;
    const QString path = dir.filePath("T.dbf");
    store::DbfFile::create(path, {{"IND", 'N', 11, 0}});
    QByteArray bytes = storetest::readFile(path);
    bytes[28] = 0x01;
    storetest::writeFile(path, bytes);
    store::openFolder(dir.path())->execute("INSERT INTO T (IND) VALUES (7)");
    EXPECT_EQ(storetest::readFile(path).at(28), 0);
    if (QFile::exists(kPython) && run(kPython, {"-c", "import dbfread"}).exitCode == 0) {
        EXPECT_EQ(run(kPython, {"-c", kDbfreadScript, path}).out.split('\n').value(2), "n:7");
    }
    const QString ogrinfo = QStandardPaths::findExecutable("ogrinfo");
    if (!ogrinfo.isEmpty()) {
        const QString out = run(ogrinfo, {"-ro", "-al", "-q", path}).out;
        EXPECT_TRUE(out.contains(QRegularExpression(R"(IND \(Integer(64)?\) = 7)"))) << out.toStdString();
    }
}

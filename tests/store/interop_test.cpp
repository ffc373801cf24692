// Our .dbf files checked by peers nobody here wrote: files the store writes must read
// the same in python3-dbfread and in GDAL's ogrinfo, and files GDAL writes in cp1251
// or cp866 must read correctly through the store.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/value.h"
#include "store/dbf_connection.h"
#include "support/show_value.h"

namespace {

const char* const kPython = "/usr/bin/python3";

struct Output {
    bool ok = false;
    QString out, err;
};

Output runProcess(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    const bool ran = p.waitForStarted(30000) && p.waitForFinished(120000);
    if (!ran) p.kill();
    return {ran && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            QString::fromUtf8(p.readAllStandardOutput()),
            program + ": " + QString::fromUtf8(p.readAllStandardError())};
}

bool haveDbfread() {
    return QFile::exists(kPython) && runProcess(kPython, {"-c", "import dbfread"}).ok;
}
QString ogr(const char* tool) {
    return QStandardPaths::findExecutable(QLatin1String(tool));
}

// dbfread's view of a table: its code page, its fields and its live records.
const char* const kDbfreadScript = R"(
import sys, json, dbfread
t = dbfread.DBF(sys.argv[1])
print(json.dumps({
    'encoding': t.encoding,
    'fields': [[f.name, f.type, f.length, f.decimal_count] for f in t.fields],
    'records': [list(r.values()) for r in t],
}))
)";

// A JSON value as this test's compact text: numbers by value, texts in brackets.
std::string jsonCell(const QJsonValue& v) {
    if (v.isNull()) return "None";
    if (v.isDouble()) return "n:" + core::doubleToText(v.toDouble()).toStdString();
    return "t:[" + v.toString().toStdString() + "]";
}

struct OgrField {
    std::string type, value;
};
using OgrFeature = std::map<std::string, OgrField>;

// ogrinfo -al prints each feature as "OGRFeature(layer):n" then "  NAME (Type) = value".
std::vector<OgrFeature> parseOgrinfo(const QString& text) {
    std::vector<OgrFeature> features;
    static const QRegularExpression fieldLine(QStringLiteral(R"(^  (\w+) \(([\w:]+)\) = (.*)$)"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("OGRFeature("))) {
            features.emplace_back();
            continue;
        }
        const auto m = fieldLine.match(line);
        if (m.hasMatch() && !features.empty())
            features.back()[m.captured(1).toStdString()] = {m.captured(2).toStdString(),
                                                            m.captured(3).toStdString()};
    }
    return features;
}

using testsupport::show;

// A folder written by the store: texts with Cyrillic letters, quotes and blanks, an
// empty text, doubles with fractions, a null number, updated and deleted records.
class StoreWrittenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        auto cn = store::openFolder(dir_.path());
        const char* statements[] = {
            "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(1, 'Арматура')",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(2, '  Уголок с пробелами')",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(3, 'ООО ''Сталь'' «Прокат» №1')",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(4, '')",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(5, 'Ёлка ёж')",
            "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(6, 'удалить меня')",
            "UPDATE TBL_TPS SET TP_NM='Арматура А500С' WHERE IND=1",
            "DELETE FROM TBL_TPS WHERE IND=6",
            "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
            "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(1, 10, 0, 5, 50000)",
            "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(2, 10, 0.5, 0, 48000.25)",
            "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(3, -1, 1.5, 10, 123456.789)",
            "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(4, 11, 0.001, 0.125, 99999.99)",
            "DELETE FROM TBL_CSTS WHERE IND_STF=-1",
            "CREATE TABLE TBL_CORD (IND int,IND_PST int,VL double)",
            "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(100,2.5)",
            "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(-7,12)",
        };
        for (const char* sql : statements) ASSERT_NO_THROW(cn->execute(QString::fromUtf8(sql))) << sql;
    }

    QTemporaryDir dir_;
};

// What each table must hold, as dbfread and ogrinfo should see it.
struct Expected {
    const char* table;
    std::vector<std::string> fields;                // "NAME <type><length>.<decimals>"
    std::vector<std::vector<std::string>> records;  // "None", "n:<number>", "t:[text]"
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
      {"n:4", "n:11", "n:0.001", "n:0.125", "n:99999.99"}}},
    {"TBL_CORD",
     {"IND N11.0", "IND_PST N11.0", "VL N20.6"},
     {{"None", "n:100", "n:2.5"}, {"None", "n:-7", "n:12"}}},
};

TEST_F(StoreWrittenTest, DbfreadReadsTheSameTables) {
    if (!haveDbfread())
        GTEST_SKIP() << "python3-dbfread is not installed (needs /usr/bin/python3 with the dbfread module)";
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const Output o =
            runProcess(kPython, {"-c", kDbfreadScript, dir_.filePath(QString(e.table) + ".dbf")});
        ASSERT_TRUE(o.ok) << o.err.toStdString();
        const QJsonObject doc = QJsonDocument::fromJson(o.out.toUtf8()).object();
        EXPECT_EQ(doc.value("encoding").toString(), "cp1251") << "language driver byte";
        std::vector<std::string> fields;
        for (const QJsonValue& v : doc.value("fields").toArray()) {
            const QJsonArray f = v.toArray();
            fields.push_back(QStringLiteral("%1 %2%3.%4")
                                 .arg(f[0].toString(), f[1].toString())
                                 .arg(f[2].toInt())
                                 .arg(f[3].toInt())
                                 .toStdString());
        }
        EXPECT_EQ(fields, e.fields);
        std::vector<std::vector<std::string>> records;
        for (const QJsonValue& r : doc.value("records").toArray()) {
            records.emplace_back();
            for (const QJsonValue& c : r.toArray()) records.back().push_back(jsonCell(c));
        }
        EXPECT_EQ(records, e.records);
    }
}

TEST_F(StoreWrittenTest, OgrinfoReadsTheSameTables) {
    const QString ogrinfo = ogr("ogrinfo");
    if (ogrinfo.isEmpty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed (package gdal-bin)";
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const Output o = runProcess(ogrinfo, {"-ro", "-al", "-q", dir_.filePath(QString(e.table) + ".dbf")});
        ASSERT_TRUE(o.ok) << o.err.toStdString();
        // Each record as "<type> <cell>" per field; GDAL trims both ends of a text and
        // reports a blank one as null.
        std::vector<std::vector<std::string>> expected, got;
        for (const auto& record : e.records) {
            expected.emplace_back();
            for (size_t c = 0; c < e.fields.size(); ++c) {
                const std::string& f = e.fields[c];
                const std::string type = f.find(" C") != f.npos ? "String"
                                         : f.ends_with(".0")    ? "Integer"
                                                                : "Real";
                std::string cell = record[c];
                if (cell.starts_with("t:")) {
                    const QString text = QString::fromStdString(cell.substr(3, cell.size() - 4)).trimmed();
                    cell = text.isEmpty() ? "None" : "t:[" + text.toStdString() + "]";
                }
                expected.back().push_back(f.substr(0, f.find(' ')) + " " + type + " " + cell);
            }
        }
        for (const OgrFeature& feature : parseOgrinfo(o.out)) {
            got.emplace_back();
            for (const auto& [name, field] : feature) {
                const std::string type = field.type == "Integer64" ? "Integer" : field.type;
                const QString value = QString::fromStdString(field.value);
                const std::string cell = value == "(null)" ? "None"
                                         : type == "String"
                                             ? "t:[" + field.value + "]"
                                             : "n:" + core::doubleToText(value.toDouble()).toStdString();
                got.back().push_back(name + " " + type + " " + cell);
            }
        }
        for (auto& r : expected) std::sort(r.begin(), r.end());  // the features come by name
        EXPECT_EQ(got, expected) << o.out.toStdString();
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
    const QString ogr2ogr = ogr("ogr2ogr");
    if (ogr2ogr.isEmpty()) GTEST_SKIP() << "GDAL's ogr2ogr is not installed (package gdal-bin)";
    QTemporaryDir src, db;
    ASSERT_TRUE(src.isValid() && db.isValid());
    {
        QFile csv(QDir(src.path()).filePath("src.csv")), csvt(QDir(src.path()).filePath("src.csvt"));
        ASSERT_TRUE(csv.open(QIODevice::WriteOnly) && csvt.open(QIODevice::WriteOnly));
        csv.write(
            "IND,TP_NM,VL\n"
            "8,Уголок 50х50х5 ст3сп,1234.5\n"
            "7,\" Арматура  \",0.5\n"
            "9,,\n"
            "10,\"Ёж, ёлка №5\",-2.25\n"
            "11,Труба 1/2'',100000\n");
        csvt.write("Integer,String,Real\n");
    }
    const QString target = QDir(db.path()).filePath(QString::fromLatin1(c.table) + ".dbf");
    const Output o =
        runProcess(ogr2ogr, {"-f", "ESRI Shapefile", target, QDir(src.path()).filePath("src.csv"), "-lco",
                             QStringLiteral("ENCODING=") + c.encoding});
    ASSERT_TRUE(o.ok) << o.err.toStdString();
    if (c.languageDriver >= 0) {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(29) && f.putChar(char(c.languageDriver)));
        QFile::remove(QDir(db.path()).filePath(QString::fromLatin1(c.table) + ".cpg"));
    }
    std::vector<std::string> rows;
    auto cn = store::openFolder(db.path());
    for (auto rs = cn->open(QStringLiteral("SELECT * FROM %1 ORDER BY IND").arg(c.table)); !rs->eof();
         rs->moveNext())
        rows.push_back(show(rs->field("IND")) + " | " + show(rs->field("TP_NM")) + " | " +
                       show(rs->field("VL")));
    // GDAL writes a null number as asterisks; it reads as null like a blank field.
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "i:7 | t:[ Арматура] | d:0.5",
                        "i:8 | t:[Уголок 50х50х5 ст3сп] | d:1234.5",
                        "i:9 | null | null",
                        "i:10 | t:[Ёж, ёлка №5] | d:-2.25",
                        "i:11 | t:[Труба 1/2''] | d:100000",
                    }));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, GdalWrittenTest,
    ::testing::Values(GdalCase{"CP1251", "GDAL1251", -1}, GdalCase{"CP866", "GDAL866", -1},
                      GdalCase{"CP1251", "LDID1251", 0xC9}, GdalCase{"CP866", "LDID866", 0x26}),
    [](const ::testing::TestParamInfo<GdalCase>& info) { return std::string(info.param.table); });

}  // namespace

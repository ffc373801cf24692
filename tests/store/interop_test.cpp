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
#include <cmath>
#include <map>
#include <memory>
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
    Output o;
    if (!p.waitForStarted(30000) || !p.waitForFinished(120000)) {
        p.kill();
        o.err = QStringLiteral("did not run: ") + program;
        return o;
    }
    o.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

bool haveDbfread() {
    return QFile::exists(kPython) && runProcess(kPython, {"-c", "import dbfread"}).ok;
}
QString ogr(const char* tool) {
    return QStandardPaths::findExecutable(QLatin1String(tool));
}

// The file of a table, whatever the case of its name on disk.
QString tableFile(const QString& folder, const QString& table) {
    for (const QString& f : QDir(folder).entryList(QDir::Files))
        if (f.compare(table + QStringLiteral(".dbf"), Qt::CaseInsensitive) == 0)
            return QDir(folder).filePath(f);
    return QString();
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
        for (const char* sql : statements) {
            try {
                cn->execute(QString::fromUtf8(sql));
            } catch (const core::Error& e) {
                FAIL() << sql << ": " << e.message().toStdString();
            }
        }
    }

    QTemporaryDir dir_;
};

// What each table must hold, as dbfread and ogrinfo should see it.
struct Expected {
    const char* table;
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> records;  // "None", "n:<number>", "t:[text]"
};

const Expected kExpected[] = {
    {"TBL_TPS",
     {"IND", "TP_NM"},
     {{"n:1", "t:[Арматура А500С]"},
      {"n:2", "t:[  Уголок с пробелами]"},
      {"n:3", "t:[ООО 'Сталь' «Прокат» №1]"},
      {"n:4", "t:[]"},
      {"n:5", "t:[Ёлка ёж]"}}},
    {"TBL_CSTS",
     {"IND", "IND_STF", "VL_FRM", "VL_TO", "CST"},
     {{"n:1", "n:10", "n:0", "n:5", "n:50000"},
      {"n:2", "n:10", "n:0.5", "n:0", "n:48000.25"},
      {"n:4", "n:11", "n:0.001", "n:0.125", "n:99999.99"}}},
    {"TBL_CORD", {"IND", "IND_PST", "VL"}, {{"None", "n:100", "n:2.5"}, {"None", "n:-7", "n:12"}}},
};

TEST_F(StoreWrittenTest, DbfreadReadsTheSameTables) {
    if (!haveDbfread())
        GTEST_SKIP() << "python3-dbfread is not installed (needs /usr/bin/python3 with the dbfread module)";
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const QString file = tableFile(dir_.path(), e.table);
        ASSERT_FALSE(file.isEmpty());
        const Output o = runProcess(kPython, {"-c", kDbfreadScript, file});
        ASSERT_TRUE(o.ok) << o.err.toStdString();
        const QJsonObject doc = QJsonDocument::fromJson(o.out.toUtf8()).object();
        EXPECT_EQ(doc.value("encoding").toString(), "cp1251") << "language driver byte";

        const QJsonArray fields = doc.value("fields").toArray();
        ASSERT_EQ(fields.size(), static_cast<int>(e.fields.size()));
        for (int i = 0; i < fields.size(); ++i) {
            const QJsonArray f = fields[i].toArray();
            EXPECT_EQ(f[0].toString().toStdString(), e.fields[static_cast<size_t>(i)]);
            const QString type = f[1].toString();
            const bool text = e.fields[static_cast<size_t>(i)].find("_NM") != std::string::npos;
            EXPECT_EQ(type, text ? "C" : "N") << e.fields[static_cast<size_t>(i)];
            if (text) {
                EXPECT_EQ(f[2].toInt(), 250);
            } else if (e.fields[static_cast<size_t>(i)].rfind("IND", 0) == 0) {
                EXPECT_EQ(f[3].toInt(), 0) << "an int column has no decimals";
            }
        }

        std::vector<std::vector<std::string>> records;
        for (const QJsonValue& r : doc.value("records").toArray()) {
            std::vector<std::string> cells;
            for (const QJsonValue& c : r.toArray()) cells.push_back(jsonCell(c));
            records.push_back(cells);
        }
        EXPECT_EQ(records, e.records);
    }
}

TEST_F(StoreWrittenTest, OgrinfoReadsTheSameTables) {
    const QString ogrinfo = ogr("ogrinfo");
    if (ogrinfo.isEmpty()) GTEST_SKIP() << "GDAL's ogrinfo is not installed (package gdal-bin)";
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.table);
        const QString file = tableFile(dir_.path(), e.table);
        ASSERT_FALSE(file.isEmpty());
        const Output o = runProcess(ogrinfo, {"-ro", "-al", "-q", file});
        ASSERT_TRUE(o.ok) << o.err.toStdString();
        const std::vector<OgrFeature> features = parseOgrinfo(o.out);
        ASSERT_EQ(features.size(), e.records.size()) << o.out.toStdString();
        for (size_t r = 0; r < features.size(); ++r) {
            for (size_t c = 0; c < e.fields.size(); ++c) {
                const std::string& name = e.fields[c];
                const std::string& want = e.records[r][c];
                ASSERT_TRUE(features[r].count(name)) << name;
                const OgrField& got = features[r].at(name);
                SCOPED_TRACE(name + " of record " + std::to_string(r));
                if (want.rfind("t:", 0) == 0) {
                    EXPECT_EQ(got.type, "String");
                    // GDAL trims both ends of a text and reports a blank one as null.
                    const QString text = QString::fromStdString(want.substr(3, want.size() - 4)).trimmed();
                    EXPECT_EQ(got.value, text.isEmpty() ? "(null)" : text.toStdString());
                } else if (want == "None") {
                    EXPECT_EQ(got.value, "(null)");
                } else {
                    const bool whole = name.rfind("IND", 0) == 0;
                    if (whole) {
                        EXPECT_TRUE(got.type == "Integer" || got.type == "Integer64") << got.type;
                    } else {
                        EXPECT_EQ(got.type, "Real");
                    }
                    EXPECT_DOUBLE_EQ(QString::fromStdString(got.value).toDouble(),
                                     QString::fromStdString(want.substr(2)).toDouble());
                }
            }
        }
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
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(29));
        const char byte = static_cast<char>(c.languageDriver);
        ASSERT_EQ(f.write(&byte, 1), 1);
        f.close();
        QFile::remove(QDir(db.path()).filePath(QString::fromLatin1(c.table) + ".cpg"));
    }

    std::vector<std::string> rows;
    try {
        auto cn = store::openFolder(db.path());
        auto rs = cn->open(QStringLiteral("SELECT * FROM ") + c.table + QStringLiteral(" ORDER BY IND"));
        for (; !rs->eof(); rs->moveNext())
            rows.push_back(show(rs->field("IND")) + " | " + show(rs->field("TP_NM")) + " | " +
                           show(rs->field("VL")));
    } catch (const core::Error& e) {
        FAIL() << e.message().toStdString();
    }
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

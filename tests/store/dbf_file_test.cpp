// The table-file layer: reading files of other writers (versions, code pages, field
// types), refusing damaged files, and the write order that survives a crash.
#include "store/dbf_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "store/dbf_connection.h"
#include "store_helpers.h"

namespace {

using core::Value;
using storetest::failureOf;
using storetest::readFile;
using storetest::rows;
using storetest::writeFile;

struct FieldDef {
    std::string name;
    char type;
    int length;
    int decimals = 0;
};

// A table file as another program would have written it.
struct TableImage {
    std::vector<FieldDef> fields;
    // Each row's field texts: C left-aligned, N/F right-aligned, others exact.
    std::vector<std::vector<std::string>> rows;
    uint8_t version = 0x03;
    uint8_t languageDriver = 0xC9;
    int backlink = 0;  // bytes after the terminator that the header covers
    int deletedRow = -1;

    QByteArray bytes() const {
        const int headerLength = 32 + 32 * int(fields.size()) + 1 + backlink;
        int recordLength = 1;
        for (const FieldDef& f : fields) recordLength += f.length;
        QByteArray h(headerLength, '\0');
        const uint32_t words[] = {version | 124u << 8 | 5u << 16 | 17u << 24, uint32_t(rows.size()),
                                  uint32_t(headerLength) | uint32_t(recordLength) << 16};
        for (int k = 0; k < 12; ++k) h[k] = char((words[k / 4] >> (8 * (k % 4))) & 0xFF);
        h[29] = char(languageDriver);
        for (size_t k = 0; k < fields.size(); ++k) {
            char* d = h.data() + 32 + 32 * k;
            std::memcpy(d, fields[k].name.data(), std::min<size_t>(10, fields[k].name.size()));
            d[11] = fields[k].type;
            d[16] = char(fields[k].length);
            d[17] = char(fields[k].decimals);
        }
        h[32 + 32 * int(fields.size())] = 0x0D;
        for (size_t r = 0; r < rows.size(); ++r) {
            h += int(r) == deletedRow ? '*' : ' ';
            for (size_t k = 0; k < fields.size(); ++k) {
                const QByteArray v = QByteArray::fromStdString(rows[r][k]);
                const int n = fields[k].length;
                const bool number = fields[k].type == 'N' || fields[k].type == 'F';
                h += number ? v.rightJustified(n, ' ', true) : v.leftJustified(n, ' ', true);
            }
        }
        return h.append('\x1A');
    }
};

std::string enc(const char* codec, const QString& text) {
    return QByteArray(QStringEncoder(codec).encode(text)).toStdString();
}

std::vector<std::string> selectAll(const TableImage& t) {
    QTemporaryDir dir;
    writeFile(dir.filePath("T.dbf"), t.bytes());
    return rows(*store::openFolder(dir.path()), "SELECT * FROM T");
}

// `step` must fail with a message naming T.dbf of `dir` and containing `fault`.
void expectRefused(const QTemporaryDir& dir, const std::function<void()>& step, const char* fault) {
    const QString m = failureOf(step);
    const QString file = QDir::toNativeSeparators(dir.filePath("T.dbf"));
    EXPECT_TRUE(m.contains(file) && m.contains(QString::fromUtf8(fault))) << m.toStdString();
}

TableImage sampleTable(uint8_t version = 0x03) {
    return {.fields = {{"IND", 'N', 9}, {"NM", 'C', 20}, {"PRICE", 'N', 24, 15}},
            .rows = {{"1", enc("windows-1251", "Арматура"), "12.500000000000000"},
                     {"2", enc("windows-1251", "Балка"), "0.000123000000000"}},
            .version = version};
}

// ---------------------------------------------------------------- reading

TEST(DbfRead, ReadsEveryCommonVersion) {
    for (uint8_t version : {0x03, 0x83, 0x8B, 0xF5, 0x43, 0x63, 0xCB, 0x30, 0x31}) {
        SCOPED_TRACE(version);
        TableImage t = sampleTable(version);
        if (version == 0x30 || version == 0x31) t.backlink = 263;
        EXPECT_EQ(selectAll(t),
                  (std::vector<std::string>{"i:1|t:[Арматура]|d:12.5", "i:2|t:[Балка]|d:0.000123"}));
    }
}

// The code page comes from the language driver byte, or when that is 0 from a .cpg file
// beside the table (windows-1251 without either); a text written back goes into the
// same page.
TEST(DbfRead, TextsAreDecodedAndWrittenInTheTablesCodePage) {
    const struct {
        uint8_t id;
        const char* cpg;  // nullptr: no .cpg file
        const char* codec;
        const char* text;
    } cases[] = {
        {0x26, nullptr, "IBM866", "Арматура ёЁ"},   {0xC9, nullptr, "windows-1251", "Уголок №5"},
        {0x57, nullptr, "windows-1252", "Café €"},  {0x64, nullptr, "IBM852", "Łódź"},
        {0, "1251\r\n", "windows-1251", "Профиль"}, {0, "866", "IBM866", "Профиль"},
        {0, "UTF-8", "UTF-8", "Профиль ГОСТ"},      {0, "ANSI 1252", "windows-1252", "Café"},
        {0, nullptr, "windows-1251", "Профиль"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        const QString text = QString::fromUtf8(c.text);
        QTemporaryDir dir;
        const TableImage t{
            .fields = {{"NM", 'C', 30}}, .rows = {{enc(c.codec, text)}}, .languageDriver = c.id};
        writeFile(dir.filePath("T.dbf"), t.bytes());
        if (c.cpg) writeFile(dir.filePath("T.cpg"), QByteArray(c.cpg));
        auto cn = store::openFolder(dir.path());
        EXPECT_EQ(cn->open("SELECT NM FROM T")->field("NM"), Value::text(text));
        cn->execute(QStringLiteral("UPDATE T SET NM='%1!'").arg(text));
        EXPECT_TRUE(
            readFile(dir.filePath("T.dbf")).contains(QByteArray::fromStdString(enc(c.codec, text + "!"))));
    }
}

TEST(DbfRead, NumericFieldsOfAnyWidthAndPrecision) {
    const struct { char type; int length, decimals; const char* bytes; const char* expected; } cases[] = {
        {'N', 9, 0, "123456789", "i:123456789"},
        {'N', 11, 0, "-2147483647", "i:-2147483647"},
        {'N', 11, 0, "9999999999", "d:9999999999"},
        {'N', 10, 0, "5.0", "i:5"},
        {'N', 24, 15, "1234.500000000000000", "d:1234.5"},
        {'N', 24, 15, "3.000000000000000", "d:3"},
        {'N', 5, 2, "-1.25", "d:-1.25"},
        {'N', 20, 6, "0.30000000000000004", "d:0.30000000000000004"},
        {'F', 20, 4, "1.5E+03", "d:1500"},
        {'N', 8, 2, "1,5", "d:1.5"},
        {'N', 11, 0, "+7", "i:7"},
        {'N', 8, 2, "-.5", "d:-0.5"},
        {'F', 20, 4, "-2.5e-1", "d:-0.25"},
        {'N', 24, 0, "123456789012345678901234", "d:1.2345678901234569e+23"},
        // Only a number reads as one; the exponent only in float fields.
        {'N', 20, 4, "1.5E+03", "null"},
        {'F', 20, 4, "1e", "null"},
        {'N', 8, 2, "1.2.3", "null"},
    };
    const auto read = [](char type, int length, int decimals, const char* bytes) {
        return selectAll({.fields = {{"A", type, length, decimals}}, .rows = {{bytes}}}).at(0);
    };
    for (const auto& c : cases) EXPECT_EQ(read(c.type, c.length, c.decimals, c.bytes), c.expected) << c.bytes;
    // Blank, starred or anything but a number in an integer field is null.
    for (const char* bytes : {"", "********", "--5", "+-5", "5-", "1 2", "abc"})
        EXPECT_EQ(read('N', 11, 0, bytes), "null") << bytes;
}

// Dates, logicals, memos, deleted records and texts of other writers: blank, zero and
// impossible dates are null, memos are not read, trailing NULs are padding.
TEST(DbfRead, OtherFieldKindsAndDeletedRecords) {
    const TableImage t{.fields = {{"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10}, {"NM", 'C', 10}},
                       .rows = {{"20240131", "T", "         7", "  ab c"},
                                {"        ", "n", "          ", ""},
                                {"00000000", "?", "         8", std::string("abc\0\0\0\0\0\0\0", 10)},
                                {"20230230", "y", "          ", "deleted"},
                                {"20230230", "y", "          ", "x"}},
                       .deletedRow = 3};
    EXPECT_EQ(selectAll(t),
              (std::vector<std::string>{"t:[2024-01-31]|b:true|null|t:[  ab c]", "null|b:false|null|null",
                                        "null|null|null|t:[abc]", "null|b:true|null|t:[x]"}));
}

TEST(DbfRead, DamagedFilesAreRefusedWithTheFileAndTheFault) {
    const struct {
        int at;             // where the bytes go; -1: the file is cut to `size` bytes instead
        const char* bytes;  // written at `at`
        int size;
        const char* fault;
    } cases[] = {{-1, "", 20, "меньше заголовка таблицы"},
                 {-1, "", 0, "меньше заголовка таблицы"},
                 {8, "\x28\x00", 2, "неверная длина заголовка"},
                 {8, "\xFF\x7F", 2, "неверная длина заголовка"},
                 {10, "\x37", 1, "длина записи"},
                 {4, "\x07", 1, "в заголовке 7 записей"},
                 {7, "\x7F", 1, "в заголовке"},
                 {32 + 11, "X", 1, "неизвестный тип 'X'"},
                 {32 + 11, "D", 1, "ожидалось 8"},
                 {32 + 32 * 3, " ", 1, "0x0D"},
                 {0, "\x04", 1, "неизвестный байт версии 0x04"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        QTemporaryDir dir;
        QByteArray bytes = sampleTable().bytes();
        if (c.at < 0)
            bytes.truncate(c.size);
        else
            bytes.replace(c.at, c.size, QByteArray(c.bytes, c.size));
        writeFile(dir.filePath("T.dbf"), bytes);
        expectRefused(
            dir, [&] { store::openFolder(dir.path())->open("SELECT * FROM T"); }, c.fault);
    }
}

// A header one byte longer than its descriptors shifts every record by a byte; the
// records then start with a byte that is no deletion flag, and the file is damaged.
TEST(DbfRead, RecordsShiftedByTheHeaderAreReportedAsDamage) {
    QByteArray bytes =
        TableImage{.fields = {{"NM", 'C', 10}, {"IND", 'N', 5}}, .rows = {{"abc", "1"}, {"def", "2"}}}
            .bytes();
    bytes[8] = char(bytes[8] + 1);
    QTemporaryDir dir;
    writeFile(dir.filePath("T.dbf"), bytes);
    auto cn = store::openFolder(dir.path());
    expectRefused(
        dir, [&] { cn->open("SELECT * FROM T"); }, "повреждён");
}

// ---------------------------------------------------------------- writing

// A new table is laid out as other programs write one, its date apart.
TEST(DbfWrite, NewTablesAreDbaseFilesInCp1251) {
    QTemporaryDir dir;
    auto cn = store::openFolder(dir.path());
    cn->execute("CREATE TABLE TBL_APPS (IND int,VL double,CGT_NM varchar(250),CR_DT varchar (25))");
    cn->execute("INSERT INTO TBL_APPS(IND, VL, CGT_NM, CR_DT) VALUES(1, 2.5, 'Сталь', '2010.09.26 10:00')");
    const TableImage t{
        .fields = {{"IND", 'N', 11}, {"VL", 'N', 20, 6}, {"CGT_NM", 'C', 250}, {"CR_DT", 'C', 25}},
        .rows = {{"1", "2.5", enc("windows-1251", "Сталь"), "2010.09.26 10:00"}}};
    EXPECT_EQ(readFile(dir.filePath("TBL_APPS.dbf")).remove(1, 3), t.bytes().remove(1, 3));
}

TEST(DbfWrite, UpdateKeepsFieldsTheProgramCannotWrite) {
    QTemporaryDir dir;
    const TableImage t{.fields = {{"NM", 'C', 5}, {"M", 'M', 10}, {"N", 'I', 4}},
                       .rows = {{"abc", "         7", std::string("\x2A\0\0\0", 4)}}};
    writeFile(dir.filePath("T.dbf"), t.bytes());
    auto cn = store::openFolder(dir.path());
    EXPECT_EQ(cn->open("SELECT N FROM T")->field("N"), Value::int32(42));
    cn->execute("UPDATE T SET NM='xyz'");
    const int data = 32 + 32 * 3 + 1;
    EXPECT_EQ(readFile(dir.filePath("T.dbf")).mid(data, 20), QByteArray(" xyz           7\x2A\0\0\0", 20));
    EXPECT_THROW(cn->execute("UPDATE T SET M='text'"), core::DbError);
    EXPECT_THROW(cn->execute("UPDATE T SET N=5"), core::DbError);
    cn->execute("INSERT INTO T(NM) VALUES('new')");
    EXPECT_EQ(readFile(dir.filePath("T.dbf")).mid(data + 20, 20), QByteArray(" new            \0\0\0\0", 20));
}

// Table T with rows 1..3 named n1..n3, whose file writes the tests make fail.
class DbfWriteFailure : public ::testing::Test {
protected:
    void SetUp() override {
        cn_ = store::openFolder(dir_.path());
        cn_->execute("CREATE TABLE T (IND int,NM varchar(10))");
        cn_->execute("INSERT INTO T(IND, NM) VALUES(1, 'n1'), (2, 'n2'), (3, 'n3')");
    }
    void TearDown() override { store::setWriteFailureHook(nullptr); }

    QTemporaryDir dir_;
    const QString path_ = dir_.filePath("T.dbf");
    std::unique_ptr<store::Connection> cn_;
};

// The append writes the records first and the count last: a failure (or a crash) in
// between leaves the old count, a readable file, and rows that are not there.
TEST_F(DbfWriteFailure, AppendInterruptedBeforeTheHeaderLeavesTheOldCount) {
    int headerWrites = 0;
    store::setWriteFailureHook([&](const QString& p, int64_t offset, size_t) {
        return p != path_ || offset >= 32 || ++headerWrites > 1;  // the count write fails
    });
    EXPECT_THROW(cn_->execute("INSERT INTO T(IND, NM) VALUES(4, 'four')"), core::DbError);
    store::setWriteFailureHook(nullptr);
    EXPECT_EQ(headerWrites, 1);
    const QByteArray b = readFile(path_);
    EXPECT_EQ(uint8_t(b[4]), 3);
    EXPECT_TRUE(b.contains("four"));  // the record bytes did reach the file
    EXPECT_EQ(cn_->open("SELECT COUNT(*) AS N FROM T")->field("N"), Value::int32(3));
    cn_->execute("INSERT INTO T(IND, NM) VALUES(5, 'five')");
    cn_.reset();
    EXPECT_EQ(rows(*store::openFolder(dir_.path()), "SELECT * FROM T"),
              (std::vector<std::string>{"i:1|t:[n1]", "i:2|t:[n2]", "i:3|t:[n3]", "i:5|t:[five]"}));
    EXPECT_EQ(readFile(path_).back(), '\x1A');
}

TEST_F(DbfWriteFailure, FailedUpdatePutsBackTheRecordsItWrote) {
    const auto withoutDate = [&] { return readFile(path_).remove(1, 3); };
    const QByteArray before = withoutDate();
    int recordWrites = 0;
    store::setWriteFailureHook([&](const QString& p, int64_t offset, size_t) {
        return p != path_ || offset < 32 || ++recordWrites != 2;  // the second record write fails
    });
    EXPECT_THROW(cn_->execute("UPDATE T SET NM='changed'"), core::DbError);
    EXPECT_EQ(withoutDate(), before);
    EXPECT_EQ(cn_->open("SELECT COUNT(*) AS N FROM T WHERE NM='changed'")->field("N"), Value::int32(0));
}

// ---------------------------------------------------------------- number texts

TEST(DbfNumbers, ShortestTextThatFitsTheWidth) {
    // text nullptr: does not fit
    const struct { double v; int width; const char* text; } cases[] = {{2.5, 20, "2.5"},
                 {0.000123, 20, "0.000123"},
                 {0.1 + 0.2, 20, "0.30000000000000004"},
                 {1.0 / 3.0, 8, "0.333333"},
                 {2.0 / 3.0, 6, "0.6667"},
                 {1e-7, 20, "0.0000001"},
                 {1e-30, 20, "0"},
                 {-0.0, 20, "0"},
                 {1e15, 20, "1000000000000000"},
                 {1.2345678901234568e20, 20, nullptr},
                 {12345.678, 4, nullptr}};
    for (const auto& c : cases) {
        std::string out;
        const bool ok = store::dbf::formatDouble(c.v, c.width, out);
        EXPECT_EQ(ok ? out : std::string("-"), c.text ? c.text : "-") << c.v;
    }
}

}  // namespace

#include "store/sql_engine.h"

#include <sqlite3.h>

#include <QChar>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "store/table_data.h"

namespace store {

namespace {

// Texts compare like the desk's old engine did: case-insensitive over all of Unicode.
constexpr const char* kCollation = "DESKTEXT";

char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80) return b;
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    char32_t c = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    if (extra == 0) return 0xFFFD;
    for (int i = 0; i < extra; ++i) {
        if (p == end || (*p & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (*p++ & 0x3F);
    }
    return c;
}

// Case folding of the Basic Multilingual Plane, looked up rather than computed: sorting
// and grouping by names calls the comparison for every pair it meets.
char32_t fold(char32_t c) {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const char32_t f = QChar::toCaseFolded(u);
            t[u] = f < 0x10000 ? char16_t(f) : char16_t(u);
        }
        return t;
    }();
    return c < 0x10000 ? table[c] : QChar::toCaseFolded(c);
}

int compareText(void*, int n1, const void* v1, int n2, const void* v2) {
    const auto* a = static_cast<const unsigned char*>(v1);
    const auto* b = static_cast<const unsigned char*>(v2);
    const auto* ea = a + n1;
    const auto* eb = b + n2;
    // Equal bytes are equal texts; skip the common beginning, then back up to the start
    // of the character where the two part.
    const auto* sa = a;
    while (a < ea && b < eb && *a == *b) {
        ++a;
        ++b;
    }
    if (a == ea && b == eb) return 0;
    while (a > sa && (*a & 0xC0) == 0x80) {
        --a;
        --b;
    }
    while (a < ea && b < eb) {
        if (*a < 0x80 && *b < 0x80) {
            unsigned char x = *a++, y = *b++;
            if (x >= 'A' && x <= 'Z') x += 32;
            if (y >= 'A' && y <= 'Z') y += 32;
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = fold(nextCodePoint(a, ea));
        const char32_t y = fold(nextCodePoint(b, eb));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a < ea) return 1;
    if (b < eb) return -1;
    return 0;
}

// Anything after the statement but blanks, semicolons and comments.
bool onlyBlanks(const char* p) {
    if (!p) return true;
    while (*p) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v' || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n') ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* e = std::strstr(p + 2, "*/");
            if (!e) return true;  // an unterminated comment runs to the end
            p = e + 2;
        } else {
            return false;
        }
    }
    return true;
}

QString quoted(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

struct PendingUpdate {
    uint32_t row = 0;
    std::string record;
    std::string old;
};

}  // namespace

// A table of the folder as the engine knows it: the rows and the changes of the running
// statement, which reach the file in xSync and the rows in xCommit.
struct SqlEngine::Table {
    SqlEngine* engine = nullptr;
    std::unique_ptr<TableData> data;
    QString name;
    QByteArray moduleName;

    std::string appends;
    uint32_t appendCount = 0;
    std::vector<PendingUpdate> updates;
    std::vector<uint32_t> deletes;
    bool synced = false;
    uint32_t countBefore = 0;
    // Set when the rows in memory could not follow a change written to the file (out of
    // memory): from then on the table refuses work rather than pair rows with the wrong
    // records.
    bool broken = false;

    void clear() {
        appends.clear();
        appendCount = 0;
        updates.clear();
        deletes.clear();
        synced = false;
    }
    bool empty() const { return appendCount == 0 && updates.empty() && deletes.empty(); }
};

namespace {

using Table = SqlEngine::Table;

struct VTab {
    sqlite3_vtab base;
    Table* table;
};

struct Cursor {
    sqlite3_vtab_cursor base;
    TableData* t = nullptr;
    uint32_t row = 0;
    uint32_t end = 0;
    bool eof = true;
    bool lookup = false;
    int col = 0;
    uint64_t key = 0;
    std::shared_ptr<const HashIndex> idx;
    const uint32_t* it = nullptr;
    const uint32_t* itEnd = nullptr;
    uint32_t tail = 0;

    // Moves to the first live matching row at or after the current position.
    void settle() {
        if (!lookup) {
            while (row < end && t->isDeleted(row)) ++row;
            eof = row >= end;
            return;
        }
        for (; it < itEnd; ++it) {
            if (!t->isDeleted(*it)) {
                row = *it;
                eof = false;
                return;
            }
        }
        const Column& c = t->column(col);
        for (; tail < end; ++tail) {
            uint64_t k;
            if (!t->isDeleted(tail) && t->keyOf(c, tail, &k) && k == key) {
                row = tail;
                eof = false;
                return;
            }
        }
        eof = true;
    }
    void next() {
        if (!lookup)
            ++row;
        else if (it < itEnd)
            ++it;
        else
            ++tail;
        settle();
    }
};

int setError(sqlite3_vtab* vt, const QString& message) {
    sqlite3_free(vt->zErrMsg);
    vt->zErrMsg = sqlite3_mprintf("%s", message.toUtf8().constData());
    return SQLITE_ERROR;
}

int setError(sqlite3_vtab* vt, const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return SQLITE_NOMEM;
    return setError(vt, core::errorText(e));
}

Table* tableOf(sqlite3_vtab* vt) {
    return reinterpret_cast<VTab*>(vt)->table;
}

int refuseBroken(sqlite3_vtab* vt) {
    return setError(vt, QStringLiteral("The table %1 no longer matches its file after an earlier failure; "
                                       "open the database folder again.")
                            .arg(tableOf(vt)->name));
}

// The index key of a value looked up in a column; false when nothing can match.
bool lookupKey(const Column& c, sqlite3_value* v, uint64_t* key) {
    const int type = sqlite3_value_numeric_type(v);
    if (type == SQLITE_INTEGER) {
        const sqlite3_int64 i = sqlite3_value_int64(v);
        if (c.storage == Storage::Int32) {
            if (i <= INT32_MIN || i > INT32_MAX) return false;
            *key = uint64_t(i);
        } else {
            *key = TableData::doubleKey(double(i));
        }
        return true;
    }
    if (type == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(v);
        if (std::isnan(d)) return false;
        if (c.storage == Storage::Int32) {
            if (d != std::trunc(d) || d <= double(INT32_MIN) || d > double(INT32_MAX)) return false;
            *key = uint64_t(int64_t(d));
        } else {
            *key = TableData::doubleKey(d);
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- writing values

QString where(const Table& t, const DbfField& f) {
    return QStringLiteral("Table %1, column %2: ").arg(t.name, f.name);
}

void putRight(char* dst, int width, const std::string& s) {
    std::memset(dst, ' ', size_t(width));
    std::memcpy(dst + (width - int(s.size())), s.data(), s.size());
}

QString valueText(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// Encodes one SQL value into the field's bytes of a record. Returns an empty text on
// success, else what is wrong.
QString encodeField(const Table& t, const DbfField& f, sqlite3_value* v, char* dst) {
    const int type = sqlite3_value_type(v);
    const bool binary = f.kind == FieldKind::BinInt || f.kind == FieldKind::Currency ||
                        f.kind == FieldKind::BinDouble || f.kind == FieldKind::DateTime;
    if (type == SQLITE_NULL) {
        std::memset(dst, binary ? 0 : ' ', size_t(f.length));
        return QString();
    }
    if (type == SQLITE_BLOB && f.kind != FieldKind::Text)
        return where(t, f) + QStringLiteral("a binary value cannot be stored.");
    switch (f.kind) {
        case FieldKind::Text: {
            const char* txt = reinterpret_cast<const char*>(sqlite3_value_text(v));
            int n = sqlite3_value_bytes(v);
            while (n > 0 && txt[n - 1] == ' ') --n;  // trailing blanks are padding in the file anyway
            std::string bytes;
            QString bad;
            if (!t.data->file().codePage().encode(txt, size_t(n), bytes, &bad))
                return where(t, f) +
                       QStringLiteral("the character %1 cannot be stored in the table's code page %2.")
                           .arg(bad, t.data->file().codePage().name());
            if (int(bytes.size()) > f.length)
                return where(t, f) + QStringLiteral("the text is %1 characters long; the column holds %2.")
                                         .arg(QString::fromUtf8(txt, n).size())
                                         .arg(f.length);
            std::memset(dst, ' ', size_t(f.length));
            std::memcpy(dst, bytes.data(), bytes.size());
            return QString();
        }
        case FieldKind::Number:
        case FieldKind::Decimal: {
            bool isInt = false;
            int64_t i = 0;
            double d = 0;
            if (type == SQLITE_INTEGER) {
                isInt = true;
                i = sqlite3_value_int64(v);
            } else if (type == SQLITE_FLOAT) {
                d = sqlite3_value_double(v);
            } else {
                const QByteArray s = valueText(v).trimmed().toUtf8();
                const dbf::NumberRead r = dbf::readNumber(s.constData(), size_t(s.size()), i, d);
                if (r == dbf::NumberRead::Null) {
                    if (s.isEmpty()) {
                        std::memset(dst, ' ', size_t(f.length));
                        return QString();
                    }
                    return where(t, f) + QStringLiteral("'%1' is not a number.").arg(valueText(v));
                }
                isInt = r == dbf::NumberRead::Integer;
            }
            std::string s;
            if (f.kind == FieldKind::Number) {
                if (!isInt) {
                    bool ok = false;
                    i = dbf::roundHalfEven(d, &ok);
                    if (!ok) return where(t, f) + QStringLiteral("the number %1 cannot be stored.").arg(d);
                }
                s = std::to_string(i);
                if (int(s.size()) > f.length)
                    return where(t, f) + QStringLiteral("the number %1 does not fit the column's %2 digits.")
                                             .arg(QString::fromStdString(s))
                                             .arg(f.length);
            } else {
                if (isInt) d = double(i);
                if (!dbf::formatDouble(d, f.length, s))
                    return where(t, f) +
                           QStringLiteral("the number %1 does not fit the column's %2 characters.")
                               .arg(d, 0, 'g', 17)
                               .arg(f.length);
            }
            putRight(dst, f.length, s);
            return QString();
        }
        case FieldKind::Date: {
            const QString s = valueText(v).trimmed();
            if (s.isEmpty()) {
                std::memset(dst, ' ', 8);
                return QString();
            }
            QDate date;
            for (const char* fmt : {"yyyy-MM-dd", "yyyyMMdd", "yyyy.MM.dd"}) {
                date = QDate::fromString(s, QLatin1String(fmt));
                if (date.isValid()) break;
            }
            if (!date.isValid() || date.year() < 0 || date.year() > 9999)
                return where(t, f) + QStringLiteral("'%1' is not a date (yyyy-MM-dd).").arg(s);
            const QByteArray b = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
            std::memcpy(dst, b.constData(), 8);
            return QString();
        }
        case FieldKind::Logical: {
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
                *dst = sqlite3_value_double(v) != 0.0 ? 'T' : 'F';
                return QString();
            }
            const QString s = valueText(v).trimmed().toUpper();
            if (s.isEmpty())
                *dst = ' ';
            else if (s == QLatin1String("T") || s == QLatin1String("Y") || s == QLatin1String("TRUE") ||
                     s == QLatin1String("1") || s == QLatin1String("-1"))
                *dst = 'T';
            else if (s == QLatin1String("F") || s == QLatin1String("N") || s == QLatin1String("FALSE") ||
                     s == QLatin1String("0"))
                *dst = 'F';
            else
                return where(t, f) + QStringLiteral("'%1' is not a truth value.").arg(valueText(v));
            return QString();
        }
        default:
            return where(t, f) + QStringLiteral("fields of type %1 cannot be written by this program.")
                                     .arg(QLatin1Char(f.type));
    }
}

// ---------------------------------------------------------------- the module

int xConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** err) {
    auto* table = static_cast<Table*>(aux);
    QString decl = QStringLiteral("CREATE TABLE x(");
    const auto& fields = table->data->file().fields();
    bool first = true;
    for (const Column& c : table->data->columns()) {
        if (!first) decl += QLatin1String(", ");
        first = false;
        decl += quoted(fields[size_t(c.field)].name) + QLatin1Char(' ');
        switch (c.storage) {
            case Storage::Int32:
            case Storage::Double:
                decl += c.kind == FieldKind::Logical ? QLatin1String("BOOLEAN")
                        : c.whole                    ? QLatin1String("INTEGER")
                                                     : QLatin1String("REAL");
                break;
            case Storage::Text:
                decl += QLatin1String("TEXT COLLATE ") + QLatin1String(kCollation);
                break;
            case Storage::None:
                decl += QLatin1String("TEXT");
                break;
        }
    }
    decl += QLatin1Char(')');
    const int rc = sqlite3_declare_vtab(db, decl.toUtf8().constData());
    if (rc != SQLITE_OK) {
        *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
        return rc;
    }
    auto* vt = static_cast<VTab*>(sqlite3_malloc(sizeof(VTab)));
    if (!vt) return SQLITE_NOMEM;
    std::memset(vt, 0, sizeof(VTab));
    vt->table = table;
    *out = &vt->base;
    return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* vt) {
    sqlite3_free(vt);
    return SQLITE_OK;
}

int xBestIndex(sqlite3_vtab* vt, sqlite3_index_info* info) {
    if (tableOf(vt)->broken) return refuseBroken(vt);
    try {
        TableData& t = *tableOf(vt)->data;
        t.ensureLoaded();
        const double live = double(t.liveRows());
        int best = -1;
        double bestRows = 0;
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& c = info->aConstraint[i];
            if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || c.iColumn < 0) continue;
            if (!TableData::indexable(t.column(c.iColumn))) continue;
            // Indexes are built when a plan uses them, not while SQLite weighs plans.
            double rows = t.rowsPerKey(c.iColumn);
            // SQLite runs one look-up per value of an IN list but counts the cost of one;
            // the list's length is not known here, so assume a long one (the bases filter
            // names every marked base) and let a better-keyed table lead the join.
            if (sqlite3_vtab_in(info, i, -1))
                rows = std::min(std::max(rows * 32.0, 32.0), std::max(live, 1.0));
            if (best < 0 || rows < bestRows) {
                best = i;
                bestRows = rows;
            }
        }
        if (best >= 0) {
            // SQLite checks the equality again (omit stays 0), so our numeric key may be
            // looser than its comparison rules without changing any result.
            info->aConstraintUsage[best].argvIndex = 1;
            info->idxNum = info->aConstraint[best].iColumn + 1;
            info->estimatedRows = sqlite3_int64(std::max(1.0, bestRows));
            info->estimatedCost = 2.0 + bestRows;
        } else {
            info->idxNum = 0;
            info->estimatedRows = sqlite3_int64(std::max(1.0, live));
            info->estimatedCost = 10.0 + live;
        }
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return setError(vt, e);
    }
}

int xOpen(sqlite3_vtab* vt, sqlite3_vtab_cursor** out) {
    auto* cur = new (std::nothrow) Cursor;
    if (!cur) return SQLITE_NOMEM;
    std::memset(&cur->base, 0, sizeof cur->base);
    cur->t = tableOf(vt)->data.get();
    *out = &cur->base;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* c) {
    delete reinterpret_cast<Cursor*>(c);
    return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor* c, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* cur = reinterpret_cast<Cursor*>(c);
    if (tableOf(c->pVtab)->broken) {
        cur->eof = true;
        return refuseBroken(c->pVtab);
    }
    try {
        TableData& t = *cur->t;
        t.ensureLoaded();
        cur->end = t.rowCount();
        cur->idx.reset();
        cur->it = cur->itEnd = nullptr;
        if (idxNum == 0 || argc < 1) {
            cur->lookup = false;
            cur->row = 0;
            cur->settle();
            return SQLITE_OK;
        }
        cur->lookup = true;
        cur->col = idxNum - 1;
        if (!lookupKey(t.column(cur->col), argv[0], &cur->key)) {
            cur->eof = true;
            return SQLITE_OK;
        }
        cur->idx = t.index(cur->col);
        const HashIndex::Range r = cur->idx->find(cur->key);
        cur->it = r.begin;
        cur->itEnd = r.end;
        cur->tail = cur->idx->covered();
        cur->settle();
        return SQLITE_OK;
    } catch (const std::exception& e) {
        cur->eof = true;
        return setError(c->pVtab, e);
    }
}

int xNext(sqlite3_vtab_cursor* c) {
    reinterpret_cast<Cursor*>(c)->next();
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor* c) {
    return reinterpret_cast<Cursor*>(c)->eof ? 1 : 0;
}

int xColumn(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int i) {
    if (sqlite3_vtab_nochange(ctx)) return SQLITE_OK;  // an UPDATE keeps this column's bytes as they are
    const auto* cur = reinterpret_cast<Cursor*>(c);
    const TableData& t = *cur->t;
    const Column& col = t.column(i);
    const uint32_t row = cur->row;
    switch (col.storage) {
        case Storage::Int32: {
            const int32_t v = col.ints[row];
            if (v == Column::kNullInt)
                sqlite3_result_null(ctx);
            else
                sqlite3_result_int(ctx, v);
            break;
        }
        case Storage::Double: {
            const double v = col.doubles[row];
            if (std::isnan(v))
                sqlite3_result_null(ctx);
            else if (col.whole && v == std::trunc(v) && std::fabs(v) < 9.2e18)
                sqlite3_result_int64(ctx, sqlite3_int64(v));
            else
                sqlite3_result_double(ctx, v);
            break;
        }
        case Storage::Text: {
            const uint64_t ref = col.texts[row];
            if (ref == TextArena::kNull) {
                sqlite3_result_null(ctx);
            } else {
                const std::string_view s = t.arena().get(ref);
                // The arena never moves stored bytes, so SQLite may keep the pointer.
                sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_STATIC);
            }
            break;
        }
        case Storage::None:
            sqlite3_result_null(ctx);
            break;
    }
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* c, sqlite3_int64* rowid) {
    *rowid = reinterpret_cast<Cursor*>(c)->row;
    return SQLITE_OK;
}

int xUpdate(sqlite3_vtab* vt, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    Table& table = *tableOf(vt);
    if (table.broken) return refuseBroken(vt);
    try {
        TableData& t = *table.data;
        DbfFile& file = t.file();
        if (!file.writable())
            return setError(
                vt,
                QStringLiteral("The table file %1 is read-only.").arg(QDir::toNativeSeparators(file.path())));
        const auto& fields = file.fields();
        auto liveRow = [&](sqlite3_value* v, uint32_t* row) {
            const sqlite3_int64 r = sqlite3_value_int64(v);
            if (r < 0 || r >= sqlite3_int64(t.rowCount()) || t.isDeleted(uint32_t(r))) return false;
            *row = uint32_t(r);
            return true;
        };

        if (argc == 1) {
            uint32_t row;
            if (liveRow(argv[0], &row)) table.deletes.push_back(row);
            return SQLITE_OK;
        }
        const bool insert = sqlite3_value_type(argv[0]) == SQLITE_NULL;
        std::string record;
        std::string old;
        uint32_t row = 0;
        if (insert) {
            if (sqlite3_value_type(argv[1]) != SQLITE_NULL)
                return setError(
                    vt, QStringLiteral("Table %1: a row identifier cannot be given.").arg(table.name));
            record = file.blankRecord();
        } else {
            if (sqlite3_value_int64(argv[0]) != sqlite3_value_int64(argv[1]))
                return setError(vt,
                                QStringLiteral("Table %1: a row identifier cannot change.").arg(table.name));
            if (!liveRow(argv[0], &row)) return SQLITE_OK;
            old.resize(size_t(file.recordLength()));
            file.read(row, 1, old.data());
            record = old;
        }
        const auto& cols = t.columns();
        for (size_t i = 0; i < cols.size() && int(i) + 2 < argc; ++i) {
            sqlite3_value* v = argv[i + 2];
            if (!insert && sqlite3_value_nochange(v)) continue;
            const DbfField& f = fields[size_t(cols[i].field)];
            const QString err = encodeField(table, f, v, record.data() + f.offset);
            if (!err.isEmpty()) return setError(vt, err);
        }
        if (insert) {
            table.appends += record;
            *rowid = sqlite3_int64(file.recordCount()) + table.appendCount;
            ++table.appendCount;
        } else {
            if (old != record) table.updates.push_back({row, std::move(record), std::move(old)});
        }
        return SQLITE_OK;
    } catch (const std::exception& e) {
        return setError(vt, e);
    }
}

int xBegin(sqlite3_vtab* vt) {
    tableOf(vt)->clear();
    return SQLITE_OK;
}

// Puts the file back as it was before this statement, as far as it was changed.
void undoFile(Table& table, size_t updatesDone, size_t deletesDone) {
    DbfFile& file = table.data->file();
    try {
        for (size_t k = deletesDone; k-- > 0;) file.setDeleted(table.deletes[k], false);
        for (size_t k = updatesDone; k-- > 0;)
            file.overwrite(table.updates[k].row, table.updates[k].old.data());
        if (file.recordCount() != table.countBefore) file.setRecordCount(table.countBefore);
    } catch (...) {
        // Nothing more can be done; the next statement reports the file's trouble.
    }
}

int xSync(sqlite3_vtab* vt) {
    Table& table = *tableOf(vt);
    if (table.empty()) return SQLITE_OK;
    DbfFile& file = table.data->file();
    table.countBefore = file.recordCount();
    size_t updatesDone = 0;
    size_t deletesDone = 0;
    try {
        file.append(table.appends.data(), table.appendCount);
        for (; updatesDone < table.updates.size(); ++updatesDone)
            file.overwrite(table.updates[updatesDone].row, table.updates[updatesDone].record.data());
        for (; deletesDone < table.deletes.size(); ++deletesDone)
            file.setDeleted(table.deletes[deletesDone], true);
        if (table.appendCount == 0) {
            try {
                file.touch();
            } catch (...) {
                // The date of the last change is a courtesy; the data is written.
            }
        }
        table.synced = true;
        return SQLITE_OK;
    } catch (const std::exception& e) {
        undoFile(table, updatesDone, deletesDone);
        table.clear();
        return setError(vt, e);
    }
}

// Brings the rows in memory level with what xSync wrote.
void applyToMemory(Table& table) {
    TableData& t = *table.data;
    if (!t.loaded()) return;  // the first use reads the file, changes included
    const size_t len = size_t(t.file().recordLength());
    for (uint32_t k = 0; k < table.appendCount; ++k)
        t.storeRecord(t.rowCount(), table.appends.data() + k * len);
    for (const PendingUpdate& u : table.updates) t.storeRecord(u.row, u.record.data());
    for (uint32_t row : table.deletes) t.markDeleted(row);
}

int xCommit(sqlite3_vtab* vt) {
    Table& table = *tableOf(vt);
    try {
        if (table.synced) applyToMemory(table);
        table.clear();
        return SQLITE_OK;
    } catch (const std::exception& e) {
        table.clear();
        table.broken = true;
        return setError(vt, e);
    }
}

int xRollback(sqlite3_vtab* vt) {
    Table& table = *tableOf(vt);
    if (table.synced) undoFile(table, table.updates.size(), table.deletes.size());
    table.clear();
    return SQLITE_OK;
}

sqlite3_module makeModule() {
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 1;
    m.xCreate = nullptr;  // eponymous only: the table exists under the module's name
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    m.xUpdate = xUpdate;
    m.xBegin = xBegin;
    m.xSync = xSync;
    m.xCommit = xCommit;
    m.xRollback = xRollback;
    return m;
}

const sqlite3_module kModule = makeModule();

}  // namespace

// ---------------------------------------------------------------- result sets

class SqlRecordSet final : public RecordSet {
public:
    SqlRecordSet(SqlEngine* engine, sqlite3_stmt* stmt, const QString& sql, bool atRow)
        : engine_(engine), stmt_(stmt), sql_(sql), eof_(!atRow) {
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i));
            names_ << name;
            if (!exact_.contains(name) && indexOfFolded(name) < 0) exact_.insert(name, i);
            const char* decl = sqlite3_column_decltype(stmt, i);
            boolean_.push_back(decl && sqlite3_stricmp(decl, "BOOLEAN") == 0);
        }
    }
    ~SqlRecordSet() override {
        close();
        if (engine_) engine_->forget(this);
    }

    bool isOpen() const override { return stmt_ != nullptr; }
    bool eof() const override { return !stmt_ || eof_; }

    core::Value field(const QString& name) const override {
        if (!stmt_) throw core::DbError(QStringLiteral("The result set is closed (field %1).").arg(name));
        const int i = indexOf(name);
        if (i < 0) throw core::DbError(QStringLiteral("The result has no field %1: %2").arg(name, sql_));
        if (eof_)
            throw core::DbError(QStringLiteral("There is no current record (field %1): %2").arg(name, sql_));
        switch (sqlite3_column_type(stmt_, i)) {
            case SQLITE_INTEGER: {
                const sqlite3_int64 v = sqlite3_column_int64(stmt_, i);
                if (boolean_[size_t(i)]) return core::Value::boolean(v != 0);
                if (v >= INT32_MIN && v <= INT32_MAX) return core::Value::int32(int32_t(v));
                return core::Value::dbl(double(v));
            }
            case SQLITE_FLOAT:
                return core::Value::dbl(sqlite3_column_double(stmt_, i));
            case SQLITE_NULL:
                return core::Value::null();
            default: {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
                return core::Value::text(QString::fromUtf8(p, sqlite3_column_bytes(stmt_, i)));
            }
        }
    }

    void moveNext() override {
        if (!stmt_ || eof_)
            throw core::DbError(QStringLiteral("There is no current record to move from: %1").arg(sql_));
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return;
        eof_ = true;
        if (rc != SQLITE_DONE) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(engine_->db()));
            close();
            throw core::DbError(QStringLiteral("%1\nStatement: %2").arg(msg, sql_));
        }
    }

    void close() override {
        if (stmt_ && engine_) engine_->release(stmt_, sql_);
        stmt_ = nullptr;
    }

    QStringList fieldNames() const override { return names_; }

    // Callers name fields as the statement spells them, so an exact match is the rule;
    // other spellings take a scan without allocating.
    int indexOf(const QString& name) const {
        const auto it = exact_.constFind(name);
        if (it != exact_.constEnd()) return it.value();
        for (int i = 0; i < names_.size(); ++i)
            if (names_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
        return -1;
    }

    // The engine goes away first: finalize now, answer as closed from then on.
    void detach() {
        if (stmt_) sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        engine_ = nullptr;
    }

private:
    SqlEngine* engine_;
    sqlite3_stmt* stmt_;
    QString sql_;
    bool eof_;
    QStringList names_;
    QHash<QString, int> exact_;  // the first column of each name

    int indexOfFolded(const QString& name) const {
        for (auto it = exact_.constBegin(); it != exact_.constEnd(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value();
        return -1;
    }
    std::vector<bool> boolean_;
};

// ---------------------------------------------------------------- the engine

int authorize(void* self, int action, const char*, const char*, const char*, const char*) {
    auto* engine = static_cast<SqlEngine*>(self);
    switch (action) {
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            engine->denied_ = QStringLiteral(
                "The local store runs no transactions: every statement applies to the files on its own.");
            return SQLITE_DENY;
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
            engine->denied_ = QStringLiteral("The local store does not attach other databases.");
            return SQLITE_DENY;
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_VTABLE:
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_TEMP_INDEX:
        case SQLITE_DROP_TEMP_TABLE:
        case SQLITE_DROP_TEMP_TRIGGER:
        case SQLITE_DROP_TEMP_VIEW:
        case SQLITE_DROP_TRIGGER:
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_VTABLE:
        case SQLITE_ALTER_TABLE:
            // Such objects would live only in memory and vanish with the connection.
            engine->denied_ = QStringLiteral(
                "The local store keeps tables only as files: the one schema statement it runs is "
                "CREATE TABLE name (column int|double|varchar(n), ...).");
            return SQLITE_DENY;
        default:
            return SQLITE_OK;
    }
}

SqlEngine::SqlEngine(const QString& folder) : folder_(folder) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        throw core::DbError(
            QStringLiteral("The database folder %1 does not exist.").arg(QDir::toNativeSeparators(folder)));
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
        sqlite3_close(db_);
        throw core::DbError(QStringLiteral("The SQL engine cannot start: %1").arg(msg));
    }
    try {
        sqlite3_create_collation_v2(db_, kCollation, SQLITE_UTF8, nullptr, compareText, nullptr);
        sqlite3_set_authorizer(db_, authorize, this);
        const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo& fi : files) {
            if (fi.suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) != 0) continue;
            const QString name = fi.completeBaseName();
            if (tables_.count(name.toUpper()))
                throw core::DbError(QStringLiteral("The database folder %1 holds two table files named %2 "
                                                   "(names differ only in case): %3 and %4.")
                                        .arg(QDir::toNativeSeparators(folder), name,
                                             tables_.at(name.toUpper())->data->file().path(), fi.filePath()));
            auto data = std::make_unique<TableData>(DbfFile::open(fi.filePath()));
            data->setName(name);
            registerTable(std::move(data));
        }
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqlEngine::~SqlEngine() {
    for (SqlRecordSet* rs : std::set<SqlRecordSet*>(recordSets_)) rs->detach();
    recordSets_.clear();
    for (auto& [sql, stmt] : idle_) sqlite3_finalize(stmt);
    idle_.clear();
    sqlite3_close(db_);
}

void SqlEngine::registerTable(std::unique_ptr<TableData> data) {
    auto table = std::make_unique<Table>();
    table->engine = this;
    table->name = data->name();
    table->moduleName = table->name.toUtf8();
    table->data = std::move(data);
    Table* raw = table.get();
    tables_[raw->name.toUpper()] = std::move(table);
    if (sqlite3_create_module_v2(db_, raw->moduleName.constData(), &kModule, raw, nullptr) != SQLITE_OK)
        throw core::DbError(QStringLiteral("The table %1 cannot be registered: %2")
                                .arg(raw->name, QString::fromUtf8(sqlite3_errmsg(db_))));
}

TableData* SqlEngine::table(const QString& name) const {
    const auto it = tables_.find(name.toUpper());
    return it == tables_.end() ? nullptr : it->second->data.get();
}

QStringList SqlEngine::tableNames() const {
    QStringList names;
    for (const auto& [key, t] : tables_) names << t->name;
    return names;
}

void SqlEngine::fail(const QString& message, const QString& sql) const {
    throw core::DbError(QStringLiteral("%1\nStatement: %2").arg(message, sql));
}

sqlite3_stmt* SqlEngine::prepare(const QString& sql) {
    const auto cached = idleByText_.find(sql);
    if (cached != idleByText_.end()) {
        sqlite3_stmt* stmt = cached.value()->second;
        idle_.erase(cached.value());
        idleByText_.erase(cached);
        return stmt;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    denied_.clear();
    const int rc = sqlite3_prepare_v3(db_, utf8.constData(), int(utf8.size()) + 1, SQLITE_PREPARE_PERSISTENT,
                                      &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString msg = denied_.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(db_)) : denied_;
        sqlite3_finalize(stmt);
        fail(msg, sql);
    }
    if (!onlyBlanks(tail)) {
        sqlite3_finalize(stmt);
        fail(QStringLiteral("Only one statement can be run at a time; the text goes on after the first one."),
             sql);
    }
    if (!stmt) fail(QStringLiteral("The statement is empty."), sql);
    return stmt;
}

void SqlEngine::release(sqlite3_stmt* stmt, const QString& sql) {
    sqlite3_reset(stmt);
    if (idleByText_.contains(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    idle_.emplace_front(sql, stmt);
    idleByText_.insert(sql, idle_.begin());
    constexpr size_t kKeep = 64;
    while (idle_.size() > kKeep) {
        idleByText_.remove(idle_.back().first);
        sqlite3_finalize(idle_.back().second);
        idle_.pop_back();
    }
}

void SqlEngine::execute(const QString& sql) {
    if (createTable(sql)) return;
    sqlite3_stmt* stmt = prepare(sql);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        release(stmt, sql);
        fail(msg, sql);
    }
    release(stmt, sql);
}

std::unique_ptr<RecordSet> SqlEngine::open(const QString& sql) {
    if (createTable(sql)) return std::make_unique<SqlRecordSet>(this, nullptr, sql, false);
    sqlite3_stmt* stmt = prepare(sql);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        release(stmt, sql);
        fail(msg, sql);
    }
    auto rs = std::make_unique<SqlRecordSet>(this, stmt, sql, rc == SQLITE_ROW);
    recordSets_.insert(rs.get());
    return rs;
}

// ---------------------------------------------------------------- CREATE TABLE

namespace {

struct Lexer {
    QString s;
    int i = 0;
    void blanks() {
        while (i < s.size() && s[i].isSpace()) ++i;
    }
    bool word(const char* w) {
        blanks();
        const QLatin1String lw(w);
        if (s.mid(i, lw.size()).compare(lw, Qt::CaseInsensitive) != 0) return false;
        const int after = i + int(lw.size());
        if (after < s.size() && (s[after].isLetterOrNumber() || s[after] == QLatin1Char('_'))) return false;
        i = after;
        return true;
    }
    bool punct(char c) {
        blanks();
        if (i < s.size() && s[i] == QLatin1Char(c)) {
            ++i;
            return true;
        }
        return false;
    }
    // A name: letters, digits, underscores, or the same between "", [] or ``.
    QString name() {
        blanks();
        if (i >= s.size()) return QString();
        QChar close;
        if (s[i] == QLatin1Char('"'))
            close = QLatin1Char('"');
        else if (s[i] == QLatin1Char('['))
            close = QLatin1Char(']');
        else if (s[i] == QLatin1Char('`'))
            close = QLatin1Char('`');
        if (!close.isNull()) {
            const int end = s.indexOf(close, i + 1);
            if (end < 0) return QString();
            const QString n = s.mid(i + 1, end - i - 1);
            i = end + 1;
            return n;
        }
        const int start = i;
        while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_'))) ++i;
        return s.mid(start, i - start);
    }
    int number() {
        blanks();
        const int start = i;
        while (i < s.size() && s[i].isDigit()) ++i;
        bool ok = false;
        const int n = s.mid(start, i - start).toInt(&ok);
        return ok ? n : -1;
    }
    bool atEnd() {
        while (i < s.size() && (s[i].isSpace() || s[i] == QLatin1Char(';'))) ++i;
        return i >= s.size();
    }
};

bool plainName(const QString& n) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(n).hasMatch();
}

}  // namespace

bool SqlEngine::createTable(const QString& sql) {
    static const QRegularExpression head(QStringLiteral("^\\s*CREATE\\s+TABLE\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (!head.match(sql).hasMatch()) return false;
    Lexer lx{sql};
    lx.word("CREATE");
    lx.word("TABLE");
    bool ifNotExists = false;
    const int save = lx.i;
    if (lx.word("IF") && lx.word("NOT") && lx.word("EXISTS"))
        ifNotExists = true;
    else
        lx.i = save;
    const QString name = lx.name();
    if (!plainName(name))
        fail(QStringLiteral("The table name %1 is not a plain name (letters, digits, underscores).")
                 .arg(name.isEmpty() ? QStringLiteral("(none)") : name),
             sql);
    if (!lx.punct('('))
        fail(QStringLiteral("CREATE TABLE %1: the column list in parentheses is missing.").arg(name), sql);
    std::vector<NewField> fields;
    QSet<QString> seen;
    for (;;) {
        const QString col = lx.name();
        if (!plainName(col))
            fail(QStringLiteral("CREATE TABLE %1: a column name is missing or not plain.").arg(name), sql);
        if (col.size() > 10)
            fail(QStringLiteral("CREATE TABLE %1: the column name %2 is longer than 10 characters.")
                     .arg(name, col),
                 sql);
        if (seen.contains(col.toUpper()))
            fail(QStringLiteral("CREATE TABLE %1: the column %2 is named twice.").arg(name, col), sql);
        seen.insert(col.toUpper());
        NewField f;
        f.name = col;
        if (lx.word("int") || lx.word("integer")) {
            f.type = 'N';
            f.length = 11;
            f.decimals = 0;
        } else if (lx.word("double") || lx.word("float") || lx.word("real")) {
            lx.word("precision");
            f.type = 'N';
            f.length = 20;
            f.decimals = 6;
        } else if (lx.word("varchar") || lx.word("char") || lx.word("text")) {
            if (!lx.punct('('))
                fail(QStringLiteral("CREATE TABLE %1: the column %2 needs a length, as in varchar(50).")
                         .arg(name, col),
                     sql);
            const int n = lx.number();
            if (!lx.punct(')') || n < 1 || n > 254)
                fail(QStringLiteral("CREATE TABLE %1: the length of column %2 must be 1 to 254.")
                         .arg(name, col),
                     sql);
            f.type = 'C';
            f.length = n;
        } else {
            lx.blanks();
            fail(QStringLiteral(
                     "CREATE TABLE %1: the column %2 has a type other than int, double and varchar(n).")
                     .arg(name, col),
                 sql);
        }
        fields.push_back(f);
        if (lx.punct(',')) continue;
        if (lx.punct(')')) break;
        fail(QStringLiteral("CREATE TABLE %1: expected a comma or a closing parenthesis after column %2.")
                 .arg(name, col),
             sql);
    }
    if (!lx.atEnd())
        fail(QStringLiteral("Only one statement can be run at a time; the text goes on after the first one."),
             sql);

    const QDir dir(folder_);
    bool exists = tables_.count(name.toUpper()) > 0;
    if (!exists) {
        for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden))
            if (f.compare(name + QStringLiteral(".dbf"), Qt::CaseInsensitive) == 0) exists = true;
    }
    if (exists) {
        if (ifNotExists) return true;
        fail(QStringLiteral("table %1 already exists").arg(name), sql);
    }
    const QString path = dir.filePath(name + QStringLiteral(".dbf"));
    try {
        DbfFile::create(path, fields);
        auto data = std::make_unique<TableData>(DbfFile::open(path));
        data->setName(name);
        registerTable(std::move(data));
    } catch (const core::Error& e) {
        fail(e.message(), sql);
    }
    return true;
}

}  // namespace store

// The virtual-table module: SQLite reads the rows of a table file through a cursor and
// hands a statement's changes over record by record; they reach the file when the
// statement ends (xSync) and the rows in memory after it (xCommit).
#include <QDir>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "store/engine_table.h"
#include "store/scan_module.h"
#include "store/text_collation.h"

namespace store {
namespace {

using Table = SqlEngine::Table;

QString quoted(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

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
    return setError(vt, QStringLiteral("Таблица %1 после прежнего сбоя не совпадает со своим файлом; "
                                       "откройте папку базы данных заново.")
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
                decl += QLatin1String("TEXT COLLATE ") + QLatin1String(kTextCollation);
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
    auto* cur = newCursor<Cursor>(out);
    if (!cur) return SQLITE_NOMEM;
    cur->t = tableOf(vt)->data.get();
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
            return setError(vt, QStringLiteral("Файл таблицы %1 не записывается: %2.")
                                    .arg(QDir::toNativeSeparators(file.path()), file.readOnlyReason()));
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
                return setError(vt,
                                QStringLiteral("Таблица %1: номер строки задать нельзя.").arg(table.name));
            record = file.blankRecord();
        } else {
            if (sqlite3_value_int64(argv[0]) != sqlite3_value_int64(argv[1]))
                return setError(vt,
                                QStringLiteral("Таблица %1: номер строки изменить нельзя.").arg(table.name));
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
        file.sync();
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
        // Within a unit, the records about to change are journaled in one go.
        if (!table.updates.empty() || !table.deletes.empty()) {
            std::vector<uint32_t> rows(table.deletes);
            for (const PendingUpdate& u : table.updates) rows.push_back(u.row);
            file.protect(rows);
        }
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
        // The statement's changes are on the disk before it reports success.
        file.sync();
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
        if (table.synced) {
            ++table.changes;
            applyToMemory(table);
        }
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
    sqlite3_module m =
        scanModule({xConnect, xBestIndex, xDisconnect, xOpen, deleteCursor<Cursor>, xFilter, xNext, xEof, xColumn, xRowid});
    m.xUpdate = xUpdate;
    m.xBegin = xBegin;
    m.xSync = xSync;
    m.xCommit = xCommit;
    m.xRollback = xRollback;
    return m;
}

}  // namespace

const sqlite3_module& tableModule() {
    static const sqlite3_module module = makeModule();
    return module;
}

}  // namespace store

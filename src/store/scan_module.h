#pragma once
// What every virtual-table module of the engine fills in the same way: an eponymous table
// (it exists under the module's name, nothing creates it) that is connected, planned and
// scanned. A table that writes adds its update and transaction callbacks to the result.

#include <sqlite3.h>

#include <cstring>
#include <new>

namespace store {

struct ScanCallbacks {
    decltype(sqlite3_module::xConnect) connect;
    decltype(sqlite3_module::xBestIndex) bestIndex;
    decltype(sqlite3_module::xDisconnect) disconnect;
    decltype(sqlite3_module::xOpen) open;
    decltype(sqlite3_module::xClose) close;
    decltype(sqlite3_module::xFilter) filter;
    decltype(sqlite3_module::xNext) next;
    decltype(sqlite3_module::xEof) eof;
    decltype(sqlite3_module::xColumn) column;
    decltype(sqlite3_module::xRowid) rowid;
};

inline sqlite3_module scanModule(const ScanCallbacks& c) {
    // In the order of the structure: version, create (none: eponymous), connect, best index,
    // disconnect, destroy, open, close, filter, next, eof, column, rowid; the rest empty.
    return sqlite3_module{1,      nullptr, c.connect, c.bestIndex, c.disconnect, c.disconnect, c.open,
                          c.close, c.filter, c.next,    c.eof,       c.column,     c.rowid};
}

// A new cursor of type C, whose member `base` SQLite sees, handed out through `out`; null
// when memory is short.
template <class C>
C* newCursor(sqlite3_vtab_cursor** out) {
    auto* cur = new (std::nothrow) C;
    if (!cur) return nullptr;
    std::memset(&cur->base, 0, sizeof cur->base);
    *out = &cur->base;
    return cur;
}

template <class C>
int deleteCursor(sqlite3_vtab_cursor* c) {
    delete reinterpret_cast<C*>(c);
    return SQLITE_OK;
}

}  // namespace store

// Fuzz target: a table file as another program may have left it. The input is one byte
// n, then n bytes of a .cpg file beside the table (none when n is 0), then the .dbf file.
// The table is opened, every record decoded and indexed; when it opens, a blank record
// is appended and a record's deletion flag set, and the file must open again holding
// exactly one record more and serve every field of its live records through the engine.
#include <cstdlib>

#include "core/errors.h"
#include "fuzz_support.h"
#include "store/dbf_connection.h"
#include "store/table_data.h"

namespace {

size_t readAll(store::TableData& t) {
    t.ensureLoaded();
    size_t seen = 0;
    for (int c = 0; c < int(t.columns().size()); ++c) {
        const store::Column& col = t.column(c);
        for (uint32_t r = 0; r < t.rowCount(); ++r) {
            if (col.storage == store::Storage::Text && col.texts[r] != store::TextArena::kNull)
                seen += t.arena().get(col.texts[r]).size();
            uint64_t key = 0;
            if (t.keyOf(col, r, &key)) ++seen;
        }
        if (store::TableData::indexable(col) && t.index(c)) ++seen;
        seen += size_t(t.rowsPerKey(c) > 0);
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString dir = fuzzsupport::scratchFolder("dbf");
    static const QString dbf = dir + QStringLiteral("/t.dbf");
    static const QString cpg = dir + QStringLiteral("/t.cpg");
    if (size == 0) return 0;
    const size_t cpgLen = std::min<size_t>(data[0], size - 1);
    fuzzsupport::putFile(cpg, data + 1, cpgLen, cpgLen > 0);
    fuzzsupport::putFile(dbf, data + 1 + cpgLen, size - 1 - cpgLen);

    uint32_t before = 0;
    try {
        store::TableData t(store::DbfFile::open(dbf));
        readAll(t);
        before = t.file().recordCount();
        const std::string blank = t.file().blankRecord();
        t.file().append(blank.data(), 1);
        t.storeRecord(before, blank.data());
        t.file().setDeleted(0, true);
        t.markDeleted(0);
        t.file().touch();
    } catch (const core::DbError&) {
        return 0;
    }
    // What we wrote must read back: the same table with one record more.
    try {
        store::TableData again(store::DbfFile::open(dbf));
        readAll(again);
        if (again.file().recordCount() != before + 1 || !again.isDeleted(0)) std::abort();
    } catch (const core::DbError&) {
        std::abort();
    }
    try {
        auto cn = store::openFolder(dir);
        for (auto rs = cn->open(QStringLiteral("SELECT * FROM t")); !rs->eof(); rs->moveNext())
            for (const QString& name : rs->fieldNames()) (void)rs->field(name).toText();
    } catch (const core::Error&) {
        // a field name the engine cannot declare is refused with a message
    }
    return 0;
}

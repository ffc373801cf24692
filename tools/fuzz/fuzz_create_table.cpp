// Fuzz target: any text given to the CREATE TABLE parser. It either says the statement
// is none, refuses it with a message, or gives fields a table file can hold: a file
// created with them must open again with the same fields.
#include <cstdlib>

#include "core/errors.h"
#include "fuzz_support.h"
#include "store/create_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const std::optional<store::CreateTable> t = store::parseCreateTable(sql);
        if (!t) return 0;
        if (t->name.isEmpty() || t->fields.empty()) std::abort();
        for (const store::NewField& f : t->fields)
            if (f.name.isEmpty() || (f.type != 'C' && f.type != 'N') || f.length <= 0 || f.length > 255 ||
                f.decimals < 0 || f.decimals >= f.length)
                std::abort();
        static const QString path = fuzzsupport::scratchFolder("create") + QStringLiteral("/t.dbf");
        fuzzsupport::putFile(path, nullptr, 0, false);
        try {
            store::DbfFile::create(path, t->fields);
        } catch (const core::DbError&) {
            return 0;  // a field the file cannot hold (a long or repeated name) is refused there
        }
        if (store::DbfFile::open(path)->fields().size() != t->fields.size()) std::abort();
    } catch (const core::DbError&) {
    }
    return 0;
}

// Fuzz target: one statement of any text against a small folder of two tables. A query
// is read to its end, every other statement executed; either may fail with a message.
// Afterwards every table file of the folder must still open, and what the connection
// holds in memory must be what a fresh connection reads from the files. One connection
// serves input after input while the files keep their first state (most statements are
// refused or only read); after a change the folder is put back and opened anew.
#include <QDir>
#include <cstdlib>
#include <map>
#include <memory>

#include "core/errors.h"
#include "fuzz_support.h"
#include "store/dbf_connection.h"
#include "store/dbf_file.h"

namespace {

const char* const kSetup[] = {
    "create table tbl_pos (id int, name varchar(20), price double, grp int)",
    "create table tbl_line (id int, pos_id int, qty double, note varchar(40))",
    "insert into tbl_pos values (1, 'Лист 2 мм', 120.5, 3)",
    "insert into tbl_pos values (2, 'Труба 40x20', 99, 3)",
    "insert into tbl_pos values (3, NULL, NULL, 7)",
    "insert into tbl_line values (1, 1, 2.5, 'резка пополам')",
    "insert into tbl_line values (2, 2, 10, NULL)",
    "insert into tbl_line values (3, 1, -1e6, 'x')",
};

struct Folder {
    QString path;
    std::map<QString, QByteArray> files;  // the first state, by file name
};

const Folder& folder() {
    static const Folder f = [] {
        Folder made;
        made.path = fuzzsupport::scratchFolder("sql");
        {
            auto cn = store::openFolder(made.path);
            for (const char* sql : kSetup) cn->execute(QString::fromUtf8(sql));
        }
        for (const QString& name : QDir(made.path).entryList({QStringLiteral("*.dbf")}, QDir::Files)) {
            QFile file(QDir(made.path).filePath(name));
            if (!file.open(QIODevice::ReadOnly)) std::abort();
            made.files[name] = file.readAll();
        }
        return made;
    }();
    return f;
}

void restore(const Folder& f) {
    const QDir dir(f.path);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (!f.files.count(name) && name != QLatin1String(".zelvorin.lock")) QFile::remove(dir.filePath(name));
    for (const auto& [name, bytes] : f.files)
        fuzzsupport::putFile(dir.filePath(name), reinterpret_cast<const uint8_t*>(bytes.constData()),
                             size_t(bytes.size()));
}

// Every row of every table, as text.
QStringList contents(store::Connection& cn, const QStringList& tables) {
    QStringList out;
    for (const QString& t : tables)
        for (auto rs = cn.open(QStringLiteral("SELECT * FROM ") + t); !rs->eof(); rs->moveNext())
            for (const QString& name : rs->fieldNames()) out << t + QLatin1Char('.') + rs->field(name).toText();
    return out;
}

bool filesAsFirst(const Folder& f) {
    const QDir dir(f.path);
    if (dir.entryList({QStringLiteral("*.dbf")}, QDir::Files).size() != qsizetype(f.files.size())) return false;
    for (const auto& [name, bytes] : f.files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes) return false;
    }
    return true;
}

void checkFilesOpen(const Folder& f) {
    const QDir dir(f.path);
    for (const QString& name : dir.entryList({QStringLiteral("*.dbf")}, QDir::Files)) {
        try {
            store::DbfFile::open(dir.filePath(name));
        } catch (const core::DbError&) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folder& f = folder();
    const QStringList tables = {QStringLiteral("tbl_pos"), QStringLiteral("tbl_line")};
    static std::unique_ptr<store::Connection> cn;
    static QStringList first;
    if (!cn) {
        restore(f);
        cn = store::openFolder(f.path);
        if (first.isEmpty()) first = contents(*cn, tables);
    }
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList held;
    bool readable = true;
    try {
        try {
            if (sql.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive)) {
                for (auto rs = cn->open(sql); !rs->eof(); rs->moveNext())
                    for (const QString& name : rs->fieldNames()) (void)rs->field(name).toText();
            } else {
                cn->execute(sql);
            }
        } catch (const core::Error&) {
        }
        held = contents(*cn, tables);
    } catch (const core::Error&) {
        readable = false;  // a table the statement dropped or replaced
    }
    if (readable && filesAsFirst(f)) {
        if (held != first) std::abort();  // memory changed while the files did not
        return 0;
    }
    cn.reset();
    if (readable) {
        try {
            if (contents(*store::openFolder(f.path), tables) != held) std::abort();
        } catch (const core::Error&) {
            std::abort();
        }
    }
    checkFilesOpen(f);
    return 0;
}

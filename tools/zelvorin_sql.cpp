// zelvorin-sql: runs one statement on a local DB folder from the command line, for
// looking into a folder and for scripts; queries print tab-separated rows.
#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "core/errors.h"
#include "store/dbf_connection.h"

namespace {

void write(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
}

int usage() {
    write(stderr, QStringLiteral("usage: zelvorin-sql DBFOLDER \"STATEMENT\"\n"
                                 "  A statement starting with SELECT prints its rows as tab-separated text\n"
                                 "  under a line of field names; any other statement is executed.\n"));
    return 2;
}

bool isQuery(const QString& sql) {
    int i = 0;
    while (i < sql.size() && sql.at(i).isSpace()) ++i;
    return QStringView(sql).mid(i).startsWith(QLatin1String("select"), Qt::CaseInsensitive);
}

QString cell(const core::Value& v) {
    return v.isNull() || v.isEmpty() ? QString() : v.toText();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Numbers go out with a point whatever the user's regional settings are.
    QLocale::setDefault(QLocale::c());
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) return usage();
    const QString& folder = args.at(1);
    const QString& sql = args.at(2);
    try {
        auto cn = store::openFolder(folder);
        if (!isQuery(sql)) {
            cn->execute(sql);
            return 0;
        }
        auto rs = cn->open(sql);
        const QStringList names = rs->fieldNames();
        QString out = names.join(QLatin1Char('\t')) + QLatin1Char('\n');
        for (; !rs->eof(); rs->moveNext()) {
            QStringList cells;
            cells.reserve(names.size());
            for (const QString& name : names) cells << cell(rs->field(name));
            out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
            if (out.size() > 1 << 16) {
                write(stdout, out);
                out.clear();
            }
        }
        rs->close();
        write(stdout, out);
    } catch (const core::Error& e) {
        write(stderr, e.message() + QLatin1Char('\n'));
        return 1;
    } catch (const std::exception& e) {
        write(stderr, QString::fromUtf8(e.what()) + QLatin1Char('\n'));
        return 1;
    }
    return 0;
}

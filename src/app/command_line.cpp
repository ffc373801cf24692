#include "app/command_line.h"

#include "app/application.h"
#include "global/global.h"
#include "app/mdi_zelvorin.h"
#include "app/window_memory.h"
#include "basket/comparison.h"
#include "basket/decision.h"
#include "basket/dialogs.h"
#include "basket/export.h"
#include "catalogue/catalogue_logic.h"
#include "catalogue/positions.h"
#include "catalogue/search.h"
#include "core/checkpoint.h"
#include "core/errors.h"
#include "core/sql_text.h"
#include "core/seams.h"
#include "order/clsZak.h"
#include "db/central_link.h"
#include "db/schema.h"
#include "db/refresh.h"
#include "db/sync.h"
#include "store/connection.h"
#include "store/dbf_connection.h"
#include "ui/qt_seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QSet>
#include <cstdio>

namespace app {
namespace {

constexpr int kUsageError = 2;

void printErr(const QString& s) {
    const QByteArray b = s.toLocal8Bit();
    std::fprintf(stderr, "%s\n", b.constData());
    std::fflush(stderr);
}

void printOut(const QString& s) {
    const QByteArray b = s.toLocal8Bit();
    std::fprintf(stdout, "%s\n", b.constData());
    std::fflush(stdout);
}

QString versionNumber() {
    return QStringLiteral("%1.%2.%3").arg(ZELVORIN_VERSION_MAJOR).arg(ZELVORIN_VERSION_MINOR).arg(
        ZELVORIN_VERSION_PATCH);
}


// Message boxes of the screenshot: nobody is there to answer, so each goes to stderr
// and the run ends with a failure code.
class UnattendedMessages final : public core::MessageBoxes {
public:
    core::MsgAnswer show(const core::MessageRequest& r) override {
        ++shown;
        printErr((r.title.isEmpty() ? core::applicationTitle() : r.title) + QStringLiteral(": ") + r.text);
        return r.buttons == core::MsgButtons::Ok ? core::MsgAnswer::Ok : core::MsgAnswer::No;
    }
    int shown = 0;
};

// Says on stderr that a run on the folder failed and why (`what` takes the folder and the
// reason); returns the exit code.
int failed(const QString& what, const QString& folder, const std::exception& e, int code) {
    printErr(QStringLiteral("zelvorin: ") + what.arg(QDir::toNativeSeparators(folder), core::errorText(e)));
    return code;
}

// "TABLE: rows" once per table of a synchronisation or refresh, when the run moves on.
class TableLines {
public:
    explicit TableLines(void (*print)(const QString&)) : print_(print) {}
    void update(const db::SyncProgress& p) {
        if (p.table != table_) {
            finish();
            table_ = p.table;
        }
        rows_ = p.rows;
    }
    void finish() {
        if (!table_.isEmpty()) print_(QStringLiteral("%1: %2").arg(table_).arg(rows_));
        table_.clear();
    }

private:
    void (*print_)(const QString&);
    QString table_;
    int rows_ = 0;
};

}  // namespace

CommandLine parseCommandLine(const QStringList& args) {
    CommandLine cl;
    bool sync = false;
    bool refresh = false;
    bool version = false;
    bool help = false;
    auto valueOf = [&](int& i, const QString& opt, QString* out) {
        const QString a = args.at(i);
        if (a.startsWith(opt + QLatin1Char('='))) {
            *out = a.mid(opt.size() + 1);
        } else if (i + 1 < args.size()) {
            *out = args.at(++i);
        } else {
            cl.error = QStringLiteral("для %1 нужно значение").arg(opt);
            return;
        }
        if (out->isEmpty())
            cl.error = QStringLiteral("для %1 нужно значение").arg(opt);
    };
    for (int i = 1; i < args.size() && cl.error.isEmpty(); ++i) {
        const QString a = args.at(i);
        auto is = [&](const char* opt) {
            const QString o = QString::fromLatin1(opt);
            return a == o || a.startsWith(o + QLatin1Char('='));
        };
        if (is("--db"))
            valueOf(i, QStringLiteral("--db"), &cl.db);
        else if (is("--central"))
            valueOf(i, QStringLiteral("--central"), &cl.central);
        else if (is("--find"))
            valueOf(i, QStringLiteral("--find"), &cl.find);
        else if (is("--compare"))
            valueOf(i, QStringLiteral("--compare"), &cl.compare);
        else if (is("--export"))
            valueOf(i, QStringLiteral("--export"), &cl.exportFile);
        else if (is("--screenshot"))
            valueOf(i, QStringLiteral("--screenshot"), &cl.screenshot);
        else if (a == QLatin1String("--sync"))
            sync = true;
        else if (a == QLatin1String("--refresh"))
            refresh = true;
        else if (a == QLatin1String("--version") || a == QLatin1String("-v"))
            version = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            help = true;
        else
            cl.error = QStringLiteral("неизвестный аргумент: %1").arg(a);
    }
    if (!cl.error.isEmpty())
        return cl;
    if (help)
        cl.mode = CommandLine::Mode::Help;
    else if (version)
        cl.mode = CommandLine::Mode::Version;
    else if (!cl.compare.isEmpty() && (refresh || sync || !cl.find.isEmpty() || !cl.screenshot.isEmpty()))
        cl.error = QStringLiteral("--compare нельзя задать вместе с --sync, --refresh, --find или --screenshot");
    else if (!cl.exportFile.isEmpty() && cl.compare.isEmpty())
        cl.error = QStringLiteral("--export задаётся только вместе с --compare ЗАЯВКА");
    else if (!cl.compare.isEmpty()) {
        bool ok = false;
        cl.compare.toInt(&ok);
        if (ok)
            cl.mode = CommandLine::Mode::Compare;
        else
            cl.error = QStringLiteral("для --compare нужен номер заявки, а не %1").arg(cl.compare);
    } else if (!cl.find.isEmpty() && (refresh || sync || !cl.screenshot.isEmpty()))
        cl.error = QStringLiteral("--find нельзя задать вместе с --sync, --refresh или --screenshot");
    else if (!cl.find.isEmpty())
        cl.mode = CommandLine::Mode::Find;
    else if (refresh && (sync || !cl.screenshot.isEmpty()))
        cl.error = QStringLiteral("--refresh нельзя задать вместе с --sync или --screenshot");
    else if (refresh && cl.central.isEmpty())
        cl.error = QStringLiteral("для --refresh нужен --central ИСТОЧНИК, откуда обновлять справочные таблицы");
    else if (refresh)
        cl.mode = CommandLine::Mode::Refresh;
    else if (sync && !cl.screenshot.isEmpty())
        cl.error = QStringLiteral("--sync и --screenshot нельзя задать вместе");
    else if (sync && cl.central.isEmpty())
        cl.error = QStringLiteral("для --sync нужен --central ИСТОЧНИК, откуда копировать справочные таблицы");
    else if (sync)
        cl.mode = CommandLine::Mode::Sync;
    else if (!cl.screenshot.isEmpty())
        cl.mode = CommandLine::Mode::Screenshot;
    return cl;
}

QString helpText() {
    return QStringLiteral(
        "Запуск: zelvorin [параметры]\n"
        "\n"
        "Цены на металлопрокат: каталог продукции с предложениями поставщиков, корзина и заявки.\n"
        "Без параметров программа открывает главное окно на папке DB рядом с программой.\n"
        "\n"
        "Параметры:\n"
        "  --db ПАПКА           папка базы данных вместо DB рядом с программой\n"
        "  --central ИСТОЧНИК   центральная база данных: файл SQLite или строка подключения ODBC,\n"
        "                       например \"DRIVER=FreeTDS;SERVER=host;PORT=1433;DATABASE=trade;UID=user;\n"
        "                       TDS_Version=7.4\" или \"DRIVER={PostgreSQL Unicode};SERVER=host;PORT=5432;\n"
        "                       DATABASE=trade;UID=user\"; пароль можно не писать в строке (PWD=…),\n"
        "                       а задать переменной окружения ZELVORIN_CENTRAL_PWD; в сообщениях\n"
        "                       он всегда скрыт (PWD=***)\n"
        "  --sync               построить локальную базу: создать все таблицы в (пустой) папке базы,\n"
        "                       создав её при необходимости, скопировать все справочные таблицы\n"
        "                       из центральной базы (нужен --central) и завершиться; при ошибке\n"
        "                       всё, что она создала, удаляется\n"
        "  --refresh            обновить справочные таблицы построенной базы из центральной\n"
        "                       (нужен --central): заявки не изменятся; ход копирования — в поток\n"
        "                       ошибок, отчёт об изменениях — в стандартный вывод\n"
        "  --find \"СЛОВА\"       найти позиции, в названии которых есть все слова, и вывести строки\n"
        "                       IND, название, группа, наименьшая и наибольшая цена (через табуляцию);\n"
        "                       код выхода 0 — найдено, 1 — ничего не найдено, 2 — ошибка\n"
        "  --compare ЗАЯВКА     сравнить предложения баз для сохранённой заявки с этим номером:\n"
        "                       таблица сравнения через табуляцию (числа с точкой), затем итоги;\n"
        "                       код выхода 0 — готово, 1 — такой заявки нет, 2 — ошибка\n"
        "  --export ФАЙЛ        вместе с --compare: записать сравнение в файл .xlsx или .csv\n"
        "  --screenshot ФАЙЛ    снять главное окно с открытым каталогом в PNG-файл и завершиться;\n"
        "                       дисплей не нужен\n"
        "  --version            показать версию и завершиться\n"
        "  --help               показать эту справку и завершиться\n");
}

QString versionText() { return QStringLiteral("zelvorin ") + versionNumber(); }

QString dataSourceFor(const CommandLine& cl) {
    if (cl.db.isEmpty())
        return defaultDataSource();
    return QFileInfo(cl.db).absoluteFilePath();
}

std::unique_ptr<mdi_zelvorin> startMainWindow(const CommandLine& cl, int* exitCode) {
    *exitCode = 0;
    std::unique_ptr<store::Connection> central;
    if (!cl.central.isEmpty()) {
        try {
            central = db::openCentralLink(cl.central);
        } catch (const std::exception& e) {
            // The link's message names the server (never its password).
            core::showMessage(QStringLiteral("Не удалось подключиться к центральной базе данных.\n") +
                              core::errorText(e));
            *exitCode = 1;
            return nullptr;
        }
    }
    const QString cs = localConnectionString(dataSourceFor(cl));
    auto w = std::make_unique<mdi_zelvorin>();
    try {
        w->Form_Load(cs, std::move(central));
    } catch (const std::exception& e) {
        core::showMessage(QStringLiteral("Не удалось открыть базу данных в папке %1:\n%2")
                              .arg(QDir::toNativeSeparators(store::dataSourceFolder(cs)), core::errorText(e)));
        *exitCode = 1;
        return nullptr;
    }
    return w;
}

int runGui(const CommandLine& cl) {
    ui::installQtSeams();
    basket_dialogs::registerDialogs();
    int code = 0;
    std::unique_ptr<mdi_zelvorin> w = startMainWindow(cl, &code);
    if (!w)
        return code;
    QApplication::setWindowIcon(w->windowIcon());
    showRemembered(*w);
    code = QApplication::exec();
    w.reset();
    // The connection goes before the application object, so the store lets go of the folder.
    Global::setCn(nullptr);
    return code;
}

int runScreenshot(const CommandLine& cl) {
    UnattendedMessages messages;
    core::MessageBoxes* previous = core::installMessageBoxes(&messages);
    int code = 0;
    {
        std::unique_ptr<mdi_zelvorin> w = startMainWindow(cl, &code);
        if (w) {
            w->resize(1280, 800);
            w->show();
            try {
                if (QMdiSubWindow* sub = w->subWindowOf(w->showPositions()))
                    sub->showMaximized();
            } catch (const std::exception& e) {
                core::showMessage(core::errorText(e));
            }
            for (int i = 0; i < 5; ++i)
                QCoreApplication::processEvents();
            const QPixmap shot = w->grab();
            if (!shot.save(cl.screenshot, "PNG")) {
                printErr(QStringLiteral("Не удалось записать снимок окна в файл %1").arg(cl.screenshot));
                code = 1;
            } else if (messages.shown > 0) {
                code = 1;
            }
        }
    }
    Global::setCn(nullptr);
    core::installMessageBoxes(previous);
    return code;
}

// Opens the central link for a run that copies the reference tables; a link that cannot
// be opened stops the run before its first table, and the failure says so.
std::unique_ptr<store::Connection> centralFor(const CommandLine& cl) {
    try {
        return db::openCentralLink(cl.central);
    } catch (const core::DbError& e) {
        throw db::RefreshError(db::referenceTables().first(), e.message());
    }
}

// What a failed --sync created in the folder goes again, so the folder is as it was.
class SyncUndo {
public:
    explicit SyncUndo(const QString& folder)
        : folder_(folder), existed_(QDir(folder).exists()), before_(entries()) {}
    void undo() const {
        QDir dir(folder_);
        for (const QString& e : entries())
            if (!before_.contains(e)) {
                QFileInfo fi(dir.filePath(e));
                if (fi.isDir()) QDir(fi.filePath()).removeRecursively();
                else QFile::remove(fi.filePath());
            }
        if (!existed_) dir.rmdir(folder_);
    }

private:
    QStringList entries() const {
        return QDir(folder_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QString folder_;
    bool existed_;
    QStringList before_;
};

int runSync(const CommandLine& cl) {
    const QString folder = store::dataSourceFolder(localConnectionString(dataSourceFor(cl)));
    const SyncUndo undo(folder);
    try {
        std::unique_ptr<store::Connection> central = centralFor(cl);
        if (!QDir().mkpath(folder))
            throw core::DbError(QStringLiteral("Не удалось создать папку %1").arg(folder));
        // The tables appear in the folder all at once when the run ends, or not at all.
        store::RoutedConnection cn(store::openFolder(folder), std::move(central));
        TableLines lines(printOut);
        db::buildFolder(cn, [&](const db::SyncProgress& p) { lines.update(p); });
        lines.finish();
    } catch (const db::SyncError& e) {
        undo.undo();
        printErr(QStringLiteral("zelvorin: синхронизация в папку %1 остановлена на таблице %2, папка осталась "
                                "прежней.\nЗапрос: %3\nОшибка: %4")
                     .arg(QDir::toNativeSeparators(folder), e.table(), e.statement(), e.reason()));
        return 1;
    } catch (const db::RefreshError& e) {
        undo.undo();
        printErr(QStringLiteral("zelvorin: синхронизация в папку %1 остановлена на таблице %2, папка осталась "
                                "прежней.\nОшибка: %3")
                     .arg(QDir::toNativeSeparators(folder), e.table(), e.reason()));
        return 1;
    } catch (const std::exception& e) {
        undo.undo();
        return failed(QStringLiteral("синхронизация в папку %1 не удалась: %2"), folder, e, 1);
    }
    return 0;
}

int runRefresh(const CommandLine& cl) {
    const QString folder = store::dataSourceFolder(localConnectionString(dataSourceFor(cl)));
    try {
        std::unique_ptr<store::Connection> central = centralFor(cl);
        store::RoutedConnection cn(store::openFolder(folder), std::move(central));
        TableLines lines(printErr);
        const db::ChangeReport report =
            db::refreshReferenceTables(cn, [&](const db::SyncProgress& p) { lines.update(p); });
        lines.finish();
        printOut(db::reportText(report, QLocale::c()));
    } catch (const std::exception& e) {
        return failed(QStringLiteral("обновление справочников в папке %1 не выполнено, данные прежние.\n%2"), folder,
                      e, 1);
    }
    return 0;
}

int runFind(const CommandLine& cl) {
    const QString folder = store::dataSourceFolder(localConnectionString(dataSourceFor(cl)));
    try {
        std::unique_ptr<store::Connection> cn = store::openFolder(folder);
        QHash<int, QString> groups, groupOf;
        for (auto rs = cn->open(QStringLiteral("SELECT IND, GRP_NM FROM TBL_GRPS")); !rs->eof(); rs->moveNext())
            groups.insert(rs->field(QStringLiteral("IND")).toInt32(), rs->field(QStringLiteral("GRP_NM")).toText());
        catalogue::PositionSearch search;
        for (auto rs = cn->open(QStringLiteral("SELECT IND, IND_GRP, PST_NM FROM TBL_PSTS")); !rs->eof(); rs->moveNext()) {
            const int ind = rs->field(QStringLiteral("IND")).toInt32();
            search.add(ind, rs->field(QStringLiteral("PST_NM")).toText());
            groupOf.insert(ind, groups.value(rs->field(QStringLiteral("IND_GRP")).toInt32()));
        }
        const std::vector<int> keys = search.find(cl.find);
        int found = 0;
        if (!keys.empty()) {
            const QString sql = catalogue::positionsStatement(catalogue::searchCondition(keys, QString()));
            for (auto rs = cn->open(sql); !rs->eof(); rs->moveNext(), ++found) {
                const int ind = rs->field(QStringLiteral("IND")).toInt32();
                auto price = [&](const char* f) {
                    const core::Value v = rs->field(QString::fromLatin1(f));
                    return v.isNull() ? QString() : core::sql::number(v.toDouble());
                };
                printOut(QStringList{QString::number(ind), rs->field(QStringLiteral("PST_NM")).toText().trimmed(),
                                     groupOf.value(ind).trimmed(), price("MIN_CST"), price("MAX_CST")}
                             .join(QLatin1Char('\t')));
            }
        }
        return found > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        return failed(QStringLiteral("поиск в папке %1 не выполнен: %2"), folder, e, kUsageError);
    }
}

int runCompare(const CommandLine& cl) {
    using namespace basket_cmp;
    const QString folder = store::dataSourceFolder(localConnectionString(dataSourceFor(cl)));
    const int32_t number = cl.compare.toInt();
    try {
        std::unique_ptr<store::Connection> cn = store::openFolder(folder);
        if (cn->open(QStringLiteral("SELECT IND FROM TBL_APPS WHERE IND=") + QString::number(number))->eof()) {
            printErr(QStringLiteral("zelvorin: заявки %1 нет в папке %2").arg(number).arg(QDir::toNativeSeparators(folder)));
            return 1;
        }
        clsZak order;
        order.setConnection(cn.get());
        order.Init();
        order.LoadOrder(number);
        // Numbers with a point on stdout, whatever the settings; the file follows the operator's.
        const QLocale operatorLocale = QLocale::system();
        QLocale::setDefault(QLocale::c());
        const Comparison cmp = BuildComparison(*cn, order);
        const Decision decision(cmp, LoadOffers(*cn));
        const QList<QStringList> rows = cmp.gridTexts();
        for (int r = kKeyRow + 1; r < rows.size(); ++r) {
            if (r >= kFixedRows && cmp.hasPlaceholderRow())
                break;
            printOut(rows[r].mid(kKeyCol + 1).join(QLatin1Char('\t')));
        }
        const QStringList summary = decision.summary(QLocale::c());
        if (!summary.isEmpty())
            printOut(QString());
        for (const QString& line : summary)
            printOut(line);
        if (!cl.exportFile.isEmpty()) {
            std::vector<int32_t> keys;
            for (const BaseRow& b : cmp.bases)
                keys.push_back(b.baseKey);
            QString error;
            if (!basket_export::writeTable(basket_export::makeTable(cmp, decision, keys, operatorLocale),
                                           cl.exportFile, operatorLocale, &error)) {
                printErr(QStringLiteral("zelvorin: ") + error);
                return kUsageError;
            }
        }
        return 0;
    } catch (const std::exception& e) {
        return failed(QStringLiteral("сравнение в папке %1 не выполнено: %2"), folder, e, kUsageError);
    }
}

int main(int argc, char** argv) {
    core::installKillAtCheckpointFromEnvironment();
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(args);
    if (!cl.error.isEmpty()) {
        printErr(QStringLiteral("zelvorin: ") + cl.error);
        printErr(QStringLiteral("Справка о параметрах: zelvorin --help"));
        return kUsageError;
    }
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        printOut(helpText());
        return 0;
    case CommandLine::Mode::Version:
        printOut(versionText());
        return 0;
    case CommandLine::Mode::Find: {
        QCoreApplication a(argc, argv);
        return runFind(cl);
    }
    case CommandLine::Mode::Compare: {
        QCoreApplication a(argc, argv);
        return runCompare(cl);
    }
    case CommandLine::Mode::Sync:
    case CommandLine::Mode::Refresh: {
        QCoreApplication a(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("zelvorin"));
        QCoreApplication::setApplicationVersion(versionNumber());
        return cl.mode == CommandLine::Mode::Sync ? runSync(cl) : runRefresh(cl);
    }
    case CommandLine::Mode::Screenshot:
    case CommandLine::Mode::Gui:
        break;
    }
    if (cl.mode == CommandLine::Mode::Screenshot)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication a(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvorin"));
    QCoreApplication::setApplicationVersion(versionNumber());
    return cl.mode == CommandLine::Mode::Screenshot ? runScreenshot(cl) : runGui(cl);
}

}  // namespace app

// Measures the catalogue window on a large folder: choosing a group of about 2 000
// positions, and selecting a position with about 200 offers over 20 band limits, each
// driven by mouse events on the real window; the statements alone and the grid fill
// are measured apart. Optionally renders the window to PNG files.
//
//   catalogue_bench [--db DIR | --build DIR] [--shot FILE.png] [--runs N] [--native]
//
// Without --db it builds its own folder through the store (in a temporary directory,
// or in the empty folder --build names, which is kept): one group of 2 000
// positions with three offers each, and one position with 200 offers cut by 20 limits.
// With --db it measures the busiest group and the position with the most offers there.
// The positions statement is also timed as written (answered from the kept price ranges),
// in a form the engine runs as a plain join, and for a search of several thousand keys;
// --native adds the same over a copy of the joined tables in SQLite with indexes.
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_timing.h"
#include "catalogue/catalogue_logic.h"
#include "catalogue/positions.h"
#include "core/errors.h"
#include "core/helpers.h"
#include "db/schema.h"
#include "global/global.h"
#include "store/dbf_connection.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"
#include "ui/twips.h"

namespace {

using bench::msOf;

void report(const char* what, const std::vector<double>& v) {
    bench::report(what, v, 46);
}

void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint pos) {
    send(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    send(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
}

// Builds the benchmark's own folder through the store, in batches of rows per INSERT.
void buildFolder(store::Connection& cn) {
    for (const QString& t : db::referenceTables()) cn.execute(db::createStatement(t));

    struct Batch {
        store::Connection& cn;
        QString head;
        QStringList rows;
        void add(const QString& row) {
            rows << row;
            if (rows.size() >= 400) flush();
        }
        void flush() {
            if (!rows.isEmpty()) cn.execute(head + rows.join(QLatin1Char(',')));
            rows.clear();
        }
    };
    cn.execute("INSERT INTO TBL_TPS (IND, TP_NM) VALUES (1, 'Сортовой прокат')");
    cn.execute("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (1, 1, 'Арматура')");
    cn.execute("INSERT INTO TBL_ORGS (IND, ORG_NM) VALUES (1, 'Металлоторг')");
    const int regions = 8, basesPerRegion = 5, bases = regions * basesPerRegion;
    for (int r = 1; r <= regions; ++r) {
        cn.execute(QString("INSERT INTO TBL_RGNS (IND, RGN_NM) VALUES (%1, 'Регион %1')").arg(r));
        cn.execute(QString("INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES (%1, %1, 'Город %1')").arg(r));
    }
    for (int b = 1; b <= bases; ++b) {
        cn.execute(QString("INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES (%1, %2, 1, 'База %1')")
                       .arg(b)
                       .arg((b - 1) / basesPerRegion + 1));
        cn.execute(QString("INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES (%1, %1, 'Прайс %1')").arg(b));
    }

    Batch psts{cn, "INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES ", {}};
    Batch stfs{cn, "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES ", {}};
    Batch csts{cn, "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES ", {}};
    int stf = 0, cst = 0;
    const int positions = 2000;
    for (int p = 1; p <= positions; ++p) {
        psts.add(QString("(%1, 1, 'Арматура %2 А500С, вариант %1')").arg(p).arg(6 + p % 35));
        if (p == 1) continue;
        for (int k = 0; k < 3; ++k) {
            ++stf;
            stfs.add(QString("(%1, %2, %3, 'Арм %4 А500С')")
                         .arg(stf)
                         .arg(p)
                         .arg((p + k * 7) % bases + 1)
                         .arg(6 + p % 35));
            const double price = 40000 + (p * 37 + k * 911) % 9000;
            csts.add(QString("(%1, %2, 0, 5, %3)").arg(++cst).arg(stf).arg(price + 800));
            csts.add(QString("(%1, %2, 5, 20, %3)").arg(++cst).arg(stf).arg(price + 400));
            csts.add(QString("(%1, %2, 20, 0, %3)").arg(++cst).arg(stf).arg(price));
        }
    }
    // Position 1: 200 offers whose bands together use 20 distinct limits.
    const double limits[20] = {0, 1, 2, 3, 5, 7, 10, 15, 20, 25, 30, 40, 50, 60, 80, 100, 150, 200, 300, 500};
    for (int k = 0; k < 200; ++k) {
        ++stf;
        stfs.add(QString("(%1, 1, %2, 'Арматура 12 А500С, предложение %3')")
                     .arg(stf)
                     .arg(k % bases + 1)
                     .arg(k + 1));
        const int a = 1 + k % 17, b = a + 1, c = std::min(a + 2 + k % 3, 19);
        const double price = 45000 + (k * 131) % 5000;
        const auto band = [&](double from, double to, double cost) {
            csts.add(QString("(%1, %2, %3, %4, %5)").arg(++cst).arg(stf).arg(from).arg(to).arg(cost));
        };
        band(0, limits[a], price + 900);
        band(limits[a], limits[b], price + 500);
        band(limits[b], limits[c], price + 200);
        band(limits[c], 0, price);
    }
    psts.flush();
    stfs.flush();
    csts.flush();
    std::printf("built: %d positions in one group, %d offers, %d price bands\n", positions, stf, cst);
}

int firstInt(store::Connection& cn, const QString& sql, const char* field) {
    auto rs = cn.open(sql);
    if (rs->eof()) throw core::DbError(QString("no rows: %1").arg(sql));
    const int v = rs->field(QString::fromLatin1(field)).toInt32();
    rs->close();
    return v;
}

// Reads every field of every record, as the window does, without any grid.
int readAll(store::Connection& cn, const QString& sql) {
    auto rs = cn.open(sql);
    const QStringList names = rs->fieldNames();
    int n = 0;
    while (!rs->eof()) {
        for (const QString& f : names) (void)rs->field(f).toText();
        ++n;
        rs->moveNext();
    }
    rs->close();
    return n;
}

// The joined tables copied into an in-memory SQLite database with indexes on the joined
// keys: the reference for the positions statement.
class Native {
public:
    explicit Native(store::Connection& cn) {
        sqlite3_open(":memory:", &db_);
        copy(cn, "TBL_PSTS", "IND INTEGER, IND_GRP INTEGER, PST_NM TEXT");
        copy(cn, "TBL_STFS", "IND INTEGER, IND_PST INTEGER, IND_PRS INTEGER");
        copy(cn, "TBL_CSTS", "IND INTEGER, IND_STF INTEGER, CST REAL");
        copy(cn, "TBL_PRSS", "IND INTEGER, IND_BS INTEGER");
        for (const char* sql :
             {"CREATE INDEX p1 ON TBL_PSTS(IND)", "CREATE INDEX p2 ON TBL_PSTS(IND_GRP)",
              "CREATE INDEX s1 ON TBL_STFS(IND_PST)", "CREATE INDEX s2 ON TBL_STFS(IND)",
              "CREATE INDEX c1 ON TBL_CSTS(IND_STF)", "CREATE INDEX r1 ON TBL_PRSS(IND)", "ANALYZE"})
            sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    }
    ~Native() { sqlite3_close(db_); }
    int readAll(const QString& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw core::Error(QString("native: %1").arg(sqlite3_errmsg(db_)));
        int n = 0;
        for (; sqlite3_step(st) == SQLITE_ROW; ++n)
            for (int i = 0; i < sqlite3_column_count(st); ++i) (void)sqlite3_column_text(st, i);
        sqlite3_finalize(st);
        return n;
    }

private:
    void copy(store::Connection& cn, const QString& table, const QString& decl) {
        QStringList cols;
        for (const QString& c : decl.split(", ")) cols << c.section(' ', 0, 0);
        sqlite3_exec(db_, QString("CREATE TABLE %1 (%2)").arg(table, decl).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        QStringList marks(cols.size(), "?");
        sqlite3_prepare_v2(
            db_, QString("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(',')).toUtf8().constData(), -1,
            &ins, nullptr);
        for (auto rs = cn.open(QString("SELECT %1 FROM %2").arg(cols.join(','), table)); !rs->eof();
             rs->moveNext()) {
            for (int i = 0; i < cols.size(); ++i) {
                const core::Value v = rs->field(cols[i]);
                if (v.kind() == core::Value::Kind::Int32)
                    sqlite3_bind_int(ins, i + 1, v.rawInt());
                else if (v.kind() == core::Value::Kind::Double)
                    sqlite3_bind_double(ins, i + 1, v.rawDouble());
                else if (v.kind() == core::Value::Kind::Text)
                    sqlite3_bind_text(ins, i + 1, v.rawText().toUtf8().constData(), -1, SQLITE_TRANSIENT);
                else
                    sqlite3_bind_null(ins, i + 1);
            }
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3* db_ = nullptr;
};

int indexOfTag(ui::LabelArray& a, int tag) {
    for (int i = 0; i < a.count(); ++i)
        if (a.isVisible(i) && a.tag(i) == tag) return i;
    return -1;
}

int rowOfKey(ui::FlexGrid* g, int key) {
    const ui::GridModel& m = g->model();
    for (int r = m.fixedRows(); r < m.rows(); ++r)
        if (m.text(r, 0) == QString::number(key)) return r;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dbDir, buildDir, shot;
    int runs = 7;
    bool native = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--db" && i + 1 < args.size())
            dbDir = args[++i];
        else if (args[i] == "--build" && i + 1 < args.size())
            buildDir = args[++i];
        else if (args[i] == "--shot" && i + 1 < args.size())
            shot = args[++i];
        else if (args[i] == "--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == "--native")
            native = true;
        else {
            std::fprintf(
                stderr,
                "usage: catalogue_bench [--db DIR | --build DIR] [--shot FILE.png] [--runs N] [--native]\n");
            return 2;
        }
    }

    try {
        QTemporaryDir tmp;
        if (dbDir.isEmpty()) {
            dbDir = buildDir.isEmpty() ? tmp.filePath("DB") : buildDir;
            QDir().mkpath(dbDir);
            const double ms = msOf([&] {
                auto cn = store::openFolder(dbDir);
                buildFolder(*cn);
            });
            std::printf("folder built in %.0f ms\n", ms);
        }
        double openMs = msOf([&] { Global::setCn(store::openFolder(dbDir)); });
        store::Connection& cn = Global::Cn();
        std::printf("folder %s opened in %.0f ms\n", qPrintable(dbDir), openMs);

        const int group = firstInt(
            cn, "SELECT IND_GRP, COUNT(*) AS N FROM TBL_PSTS GROUP BY IND_GRP ORDER BY N DESC", "IND_GRP");
        const int type =
            firstInt(cn, QString("SELECT IND_TP FROM TBL_GRPS WHERE IND=%1").arg(group), "IND_TP");
        const int heavy = firstInt(
            cn,
            QString(
                "SELECT b.IND_PST, COUNT(*) AS N FROM TBL_STFS b INNER JOIN TBL_PSTS a ON a.IND=b.IND_PST "
                "WHERE a.IND_GRP=%1 GROUP BY b.IND_PST ORDER BY N DESC")
                .arg(group),
            "IND_PST");

        // The first positions statement reads the price ranges the later ones are answered from.
        const double firstPositions = msOf([&] {
            readAll(cn, catalogue::positionsStatement(catalogue::positionsCondition(group, QString())));
        });

        // A full-HD screen, whatever the platform reports (offscreen has a small one).
        ui::setLogicalDpiForTests(96);
        positions::setScreenSizeForTests(QSize(ui::pxToTwips(1920), ui::pxToTwips(1080)));
        positions w;
        w.resize(1280, 860);
        w.show();
        QApplication::processEvents();
        if (qEnvironmentVariableIsSet("CATBENCH_TRACE"))
            std::printf("window %dx%d px\n", w.width(), w.height());

        auto* title = w.findChild<QLabel*>("Label10");
        auto* dg = w.findChild<ui::FlexGrid*>("dg");
        auto* prices = w.findChild<ui::FlexGrid*>("prices");

        std::vector<double> hoverTitle, hoverType, choose, select;
        int typeIndex = -1, groupIndex = -1;
        for (int run = 0; run < runs; ++run) {
            hoverTitle.push_back(msOf([&] { send(title, QEvent::MouseMove, QPoint(5 + run % 3, 5)); }));
            typeIndex = indexOfTag(w.lb1(), type);
            if (typeIndex < 0) throw core::Error("the busiest group's type is not in the type list");
            // Leave the type and come back, so that its groups are read again.
            const int other = typeIndex == 0 ? 1 : 0;
            if (w.lb1().isVisible(other)) send(w.lb1().label(other), QEvent::MouseMove, QPoint(4, 4));
            hoverType.push_back(
                msOf([&] { send(w.lb1().label(typeIndex), QEvent::MouseMove, QPoint(4, 4)); }));
            groupIndex = indexOfTag(w.lb2(), group);
            if (groupIndex < 0) throw core::Error("the busiest group is not in its type's group list");
            QLabel* g = w.lb2().label(groupIndex);
            send(g, QEvent::MouseMove, QPoint(4, 4));
            choose.push_back(msOf([&] {
                send(g, QEvent::MouseButtonPress, QPoint(4, 4), Qt::LeftButton);
                send(g, QEvent::MouseButtonRelease, QPoint(4, 4), Qt::LeftButton);
            }));
        }
        QApplication::processEvents();
        const int listed = dg->model().rows() - 1;

        std::vector<double> paintDg;
        for (int run = 0; run < runs; ++run) paintDg.push_back(msOf([&] { dg->repaint(); }));

        std::vector<double> rebuild;
        for (int run = 0; run < runs; ++run) rebuild.push_back(msOf([&] { w.LoadPositions(); }));

        const int heavyRow = rowOfKey(dg, heavy);
        if (heavyRow < 0) throw core::Error("the position with the most offers is not listed");
        const int otherRow = heavyRow == 1 ? 2 : 1;
        for (int run = 0; run < runs; ++run) {
            dg->setTopRow(otherRow);
            QApplication::processEvents();
            click(dg->viewport(), dg->cellRect(otherRow, 1).center());
            dg->setTopRow(heavyRow);
            QApplication::processEvents();
            const QRect cell = dg->cellRect(heavyRow, 1);
            if (cell.isEmpty()) throw core::Error("the position's row cannot be shown");
            select.push_back(msOf([&] { click(dg->viewport(), cell.center()); }));
            if (qEnvironmentVariableIsSet("CATBENCH_TRACE"))
                std::printf("select run %d: rows %d/%d prevRow %d cur %d offers %d: %.1f ms\n", run, otherRow,
                            heavyRow, w.prevRow(), dg->model().row(), prices->model().rows() - 1,
                            select.back());
        }
        QApplication::processEvents();
        const int offerRows = prices->model().rows() - 1;
        const int bandCols = prices->model().cols() - 5;

        std::vector<double> paintPrices;
        for (int run = 0; run < runs; ++run) paintPrices.push_back(msOf([&] { prices->repaint(); }));

        // The statements alone, read field by field as the window reads them.
        const QString filter = w.BasesFilter();
        std::vector<double> qPositions, qOffers;
        for (int run = 0; run < runs; ++run) {
            qPositions.push_back(msOf([&] {
                readAll(cn, catalogue::positionsStatement(catalogue::positionsCondition(group, filter)));
            }));
            qOffers.push_back(msOf([&] {
                readAll(cn, catalogue::bandLimitsStatement(QString::number(heavy)));
                readAll(cn, catalogue::offersStatement(QString::number(heavy), filter));
            }));
        }

        // The same statement run as a plain join ("1=1 AND " keeps the engine from rewriting
        // it), and a search result of several thousand keys, both also in native SQLite.
        QStringList keys;
        for (auto rs = cn.open("SELECT IND FROM TBL_PSTS"); !rs->eof() && keys.size() < 5000; rs->moveNext())
            keys << rs->field("IND").toText();
        const QString grouped = catalogue::positionsCondition(group, filter);
        const QString searched = "a.IND IN (" + keys.join(',') + ")" + filter;
        std::unique_ptr<Native> nat;
        if (native) {
            const double ms = msOf([&] { nat = std::make_unique<Native>(cn); });
            std::printf("native copy with indexes made in %.0f ms\n", ms);
        }
        std::vector<double> qPlain, qSearch, qSearchPlain, qNative, qNativeSearch;
        int rowsKept = 0, rowsPlain = 0, rowsSearch = 0, rowsSearchPlain = 0;
        for (int run = 0; run < runs; ++run) {
            qPlain.push_back(
                msOf([&] { rowsPlain = readAll(cn, catalogue::positionsStatement("1=1 AND " + grouped)); }));
            qSearch.push_back(
                msOf([&] { rowsSearch = readAll(cn, catalogue::positionsStatement(searched)); }));
            qSearchPlain.push_back(msOf([&] {
                rowsSearchPlain = readAll(cn, catalogue::positionsStatement("1=1 AND " + searched));
            }));
            if (nat) {
                qNative.push_back(msOf([&] { nat->readAll(catalogue::positionsStatement(grouped)); }));
                qNativeSearch.push_back(msOf([&] { nat->readAll(catalogue::positionsStatement(searched)); }));
            }
        }
        rowsKept = readAll(cn, catalogue::positionsStatement(grouped));

        // The grid fill alone: the same rows added to a fresh grid model.
        std::vector<QString> dgRows, priceRows;
        for (int r = 1; r < dg->model().rows(); ++r) dgRows.push_back(dg->model().rowTexts(r).join('\t'));
        for (int r = 1; r < prices->model().rows(); ++r)
            priceRows.push_back(prices->model().rowTexts(r).join('\t'));
        std::vector<double> fillDg, fillPrices;
        for (int run = 0; run < runs; ++run) {
            fillDg.push_back(msOf([&] {
                ui::GridModel m(2, 4, 1, 0);
                for (const QString& row : dgRows) m.addItem(row);
                m.removeItem(1);
            }));
            fillPrices.push_back(msOf([&] {
                ui::GridModel m(2, 5 + bandCols, 1, 0);
                for (const QString& row : priceRows) m.addItem(row);
                m.removeItem(1);
            }));
        }

        // The number display of the listed prices alone.
        std::vector<double> prices4k;
        for (int run = 0; run < runs; ++run) {
            prices4k.push_back(msOf([&] {
                for (int i = 0; i < 2 * listed; ++i)
                    (void)Global::FormatValue(core::Value(40000.0 + i * 3.7)).toText();
            }));
        }

        std::printf("\ngroup %d: %d positions listed; position %d: %d offers, %d band columns; %d runs\n",
                    group, listed, heavy, offerRows, bandCols, runs);
        report("type list (move over the title)", hoverTitle);
        report("group list (move onto a type)", hoverType);
        report("choose the group (press): whole handler", choose);
        report("  positions statement, read alone", qPositions);
        std::printf("  (its first run, reading the price ranges: %.1f ms)\n", firstPositions);
        report("  the same as a plain join", qPlain);
        if (!qNative.empty()) report("  the same in native SQLite with indexes", qNative);
        std::printf("  rows: %d kept, %d plain\n", rowsKept, rowsPlain);
        std::printf("  search of %lld keys:\n", static_cast<long long>(keys.size()));
        report("    positions statement", qSearch);
        report("    the same as a plain join", qSearchPlain);
        if (!qNativeSearch.empty()) report("    the same in native SQLite with indexes", qNativeSearch);
        std::printf("    rows: %d kept, %d plain\n", rowsSearch, rowsSearchPlain);
        report("  grid fill alone (rows added)", fillDg);
        report("  price display (FormatValue) alone", prices4k);
        report("  paint of dg", paintDg);
        report("rebuild of dg alone (LoadPositions)", rebuild);
        report("select the position (click): whole handler", select);
        report("  band limits + offers statements, read alone", qOffers);
        report("  grid fill alone (rows added)", fillPrices);
        report("  paint of prices", paintPrices);

        if (!shot.isEmpty()) {
            // A realistic view: the busy group chosen, the position with most offers selected.
            dg->setTopRow(std::max(1, heavyRow - 3));
            QApplication::processEvents();
            w.grab().save(shot);
            // And one with the lists open over the grids.
            send(title, QEvent::MouseMove, QPoint(6, 6));
            send(w.lb1().label(typeIndex), QEvent::MouseMove, QPoint(5, 5));
            send(w.lb2().label(std::min(groupIndex + 1, w.lb2().count() - 1)), QEvent::MouseMove,
                 QPoint(5, 5));
            QApplication::processEvents();
            QString lists = shot;
            lists.replace(".png", "-lists.png");
            w.grab().save(lists);
            std::printf("\nscreenshots: %s, %s\n", qPrintable(shot), qPrintable(lists));
        }
        Global::setCn(nullptr);
    } catch (const core::Error& e) {
        std::fprintf(stderr, "catalogue_bench: %s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "catalogue_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

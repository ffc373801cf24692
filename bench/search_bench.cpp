// The catalogue's context search at demo scales 1 and 25: the time from a keystroke in
// shablon until dg is filled (the words matched in memory, the positions statement read,
// the grid refreshed), for words that match a handful and several thousand positions,
// beside SQLite FTS5 answering the same words (as prefix queries) over the same names in
// the same run. Prints medians and the ratio to FTS5.
//
//   search_bench [--small-only] [--work DIR] [--runs N] [--db BUILT_FOLDER]

#include <sqlite3.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "../data/demo_data.h"
#include "bench_timing.h"
#include "catalogue/positions.h"
#include "core/errors.h"
#include "global/global.h"
#include "store/dbf_connection.h"
#include "ui/flexgrid.h"
#include "ui/grid_model.h"
#include "ui/twips.h"

namespace {

// The names of the folder in an in-memory FTS5 table; the prefix query of the same words.
class Fts {
public:
    explicit Fts(store::Connection& cn) {
        sqlite3_open(":memory:", &db_);
        exec("CREATE VIRTUAL TABLE names USING fts5(name, tokenize='unicode61 remove_diacritics 0')");
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO names(rowid, name) VALUES(?, ?)", -1, &ins, nullptr);
        exec("BEGIN");
        for (auto rs = cn.open("SELECT IND, PST_NM FROM TBL_PSTS"); !rs->eof(); rs->moveNext()) {
            const QByteArray name = rs->field("PST_NM").toText().toUtf8();
            sqlite3_bind_int(ins, 1, rs->field("IND").toInt32());
            sqlite3_bind_text(ins, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        exec("COMMIT");
        sqlite3_finalize(ins);
    }
    ~Fts() { sqlite3_close(db_); }
    int count(const QString& words) {
        QStringList terms;
        for (const QString& w : words.split(' ', Qt::SkipEmptyParts)) terms << "\"" + w + "\"*";
        const QByteArray sql = ("SELECT rowid FROM names WHERE names MATCH '" + terms.join(' ') + "'").toUtf8();
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db_, sql.constData(), -1, &q, nullptr);
        int n = 0;
        while (sqlite3_step(q) == SQLITE_ROW) ++n;
        sqlite3_finalize(q);
        return n;
    }

private:
    void exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    sqlite3* db_ = nullptr;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool smallOnly = false;
    int runs = 5;
    QString work = QDir::tempPath(), built;
    for (int i = 1; i < argc; ++i) {
        const QString a = argv[i];
        if (a == "--small-only") smallOnly = true;
        else if (a == "--work" && i + 1 < argc) work = argv[++i];
        else if (a == "--runs" && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (a == "--db" && i + 1 < argc) built = argv[++i];
        else {
            std::fprintf(stderr, "usage: search_bench [--small-only] [--work DIR] [--runs N] [--db BUILT_FOLDER]\n");
            return 2;
        }
    }
    QTemporaryDir tmp(work + "/search_bench-XXXXXX");
    const QString program = QCoreApplication::applicationDirPath() + "/zelvorin";
    const QStringList words = {"арм", "арм 12", "арматура 12 A500C", "труба 40х20", "швеллер 10", "12"};
    std::printf("search_bench: a keystroke in the catalogue's search until dg is filled, against SQLite FTS5\n");
    try {
        const std::vector<double> scales = !built.isEmpty() ? std::vector<double>{0}
                                           : smallOnly      ? std::vector<double>{1}
                                                            : std::vector<double>{1, 25};
        for (double scale : scales) {
            const QString dir = scale == 0 ? built : tmp.filePath(QString("scale%1").arg(scale));
            if (scale > 0) demodata::generateCentral((dir + ".sqlite").toStdString(), scale);
            if (scale > 0) {
                QProcess sync;
                sync.setStandardOutputFile(QProcess::nullDevice());
                sync.start(program, {"--sync", "--central", dir + ".sqlite", "--db", dir});
                if (!sync.waitForFinished(600000) || sync.exitCode() != 0)
                    throw core::Error("the folder was not built");
            }
            Global::setCn(store::openFolder(dir));
            Fts fts(Global::Cn());
            ui::setLogicalDpiForTests(96);
            positions::setScreenSizeForTests(QSize(ui::pxToTwips(1920), ui::pxToTwips(1080)));
            std::printf("scale %g:\n  %-22s %8s %12s %12s %8s\n", scale, "words", "listed", "search ms",
                        "FTS5 ms", "ratio");
            {
                positions w;
                w.resize(1280, 860);
                w.show();
                QApplication::processEvents();
                w.findChild<QCheckBox*>("Check_con")->setChecked(true);
                auto* shablon = w.findChild<QLineEdit*>("shablon");
                auto* dg = w.findChild<ui::FlexGrid*>("dg");
                shablon->setText("x");  // the names are read once, on the first search
                for (const QString& text : words) {
                    std::vector<double> ours, theirs;
                    int listed = 0, found = 0;
                    for (int r = 0; r < runs; ++r) {
                        shablon->setText("");
                        ours.push_back(bench::msOf([&] {
                            shablon->setText(text);
                            dg->repaint();
                        }));
                        listed = dg->model().rows() - 1;
                        theirs.push_back(bench::msOf([&] { found = fts.count(text); }));
                    }
                    std::printf("  %-22s %8d %12.1f %12.2f %7.1fx   (FTS5 found %d)\n", qPrintable(text), listed,
                                median(ours), median(theirs), median(ours) / median(theirs), found);
                }
            }
            Global::setCn(nullptr);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "search_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

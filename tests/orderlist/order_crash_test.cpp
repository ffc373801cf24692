// kill -9 of a process that saves and deletes orders, at many moments of its writes: the
// folder opens, every table file reads alike with our reader and with dbfread, and each
// order is whole or absent as the process last reported it.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <map>

#include "db/schema.h"
#include "store/dbf_connection.h"
#include "store/journal.h"
#include "store/store_helpers.h"

namespace {

using Orders = std::map<int32_t, QStringList>;

// The stored orders: their lines as "position:quantity", sorted; lines without a header
// stand under their order's number with a mark.
Orders storedOrders(const QString& folder) {
    Orders out;
    auto cn = store::openFolder(folder);
    for (auto rs = cn->open("SELECT IND FROM TBL_APPS"); !rs->eof(); rs->moveNext())
        out[rs->field("IND").toInt32()];
    for (auto rs = cn->open("SELECT IND_APP, IND_PST, VL FROM TBL_APTS"); !rs->eof(); rs->moveNext()) {
        const int32_t n = rs->field("IND_APP").toInt32();
        if (!out.count(n)) out[n] << "no header";
        out[n] << rs->field("IND_PST").toText() + ':' + QString::number(rs->field("VL").toDouble());
    }
    for (auto& [n, lines] : out) lines.sort();
    return out;
}

QString shown(const Orders& orders) {
    QString s;
    for (const auto& [n, lines] : orders) s += QString::number(n) + ": " + lines.join(' ') + '\n';
    return s;
}

TEST(OrderCrash, AProcessKilledWhileSavingAndDeletingLeavesEveryOrderWholeOrAbsent) {
    if (storetest::run("/usr/bin/python3", {"-c", "import dbfread"}).exitCode != 0)
        GTEST_SKIP() << "python3-dbfread is not installed";
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("DB");
    QDir().mkpath(folder);
    {
        auto cn = store::openFolder(folder);
        for (const char* t : {"TBL_APPS", "TBL_APTS"}) cn->execute(db::createStatement(t));
    }
    Orders expected;
    int kills = 0;
    for (int round = 0; round < 150 && kills < 60; ++round) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZELVORIN_KILL_AT", QString::number(1 + (round * 97) % 260));
        const auto p = storetest::run(ZELVORIN_BINARY_DIR "/order_churn", {folder, QString::number(round)}, env);
        QStringList pending;  // the step begun and not reported done
        for (const QString& line : p.out.split('\n', Qt::SkipEmptyParts)) {
            QStringList w = line.split(' ');
            const QString what = w.takeFirst();
            const int32_t n = w.takeFirst().toInt();
            if (what == "saved") expected[n] = w;
            if (what == "deleted") expected.erase(n);
            pending = what.endsWith("ing") ? line.split(' ') : QStringList();
        }
        if (p.exitCode != -1) { ASSERT_EQ(p.exitCode, 0) << p.err.toStdString(); }
        kills += p.exitCode == -1;
        const Orders actual = storedOrders(folder);
        EXPECT_FALSE(QFile::exists(store::journalFileOf(folder)));
        // The step in progress may have happened whole.
        if (!pending.isEmpty()) {
            const int32_t n = pending[1].toInt();
            const QStringList lines = pending.mid(2);
            if (pending[0] == "deleting" && !actual.count(n)) expected.erase(n);
            if (pending[0] == "saving" && n != 0 && actual.count(n) && actual.at(n) == lines)
                expected[n] = lines;
            if (pending[0] == "saving" && n == 0 && !actual.empty() && !expected.count(actual.rbegin()->first) &&
                actual.rbegin()->second == lines)
                expected[actual.rbegin()->first] = lines;
        }
        ASSERT_EQ(shown(actual), shown(expected))
            << "round " << round << ", killed while: " << pending.join(' ').toStdString();
        EXPECT_EQ(storetest::fileFaults(folder), "") << "round " << round;
        if (HasFailure()) return;
    }
    EXPECT_GE(kills, 50);
}

}  // namespace

// Folders the program does not control: a table another program damaged, a disk that is
// read-only or full. Each is told in a message naming the file and the reason, the program
// goes on, and not a byte of the folder changes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cerrno>

#include "app/mdi_zelvorin.h"
#include "app_fixture.h"
#include "basket/basket.h"
#include "store/dbf_file.h"
#include "store/store_helpers.h"
#include "support/scripted_seams.h"

namespace {

// Every file of a folder and its bytes, subfolders included.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) files.insert(it.next(), storetest::readFile(it.filePath()));
    return files;
}

class Hostile : public ::testing::Test {
protected:
    void SetUp() override { cl.central = testapp::buildDatabase(tmp), cl.db = tmp.filePath("DB"); }
    void TearDown() override { store::setWriteFailureHook(nullptr); }
    QString table(const char* name) const { return QDir(cl.db).filePath(name + QString(".dbf")); }
    // Every write fails with `err`, as the system would say it.
    static void failWrites(int err) { store::setWriteFailureHook([err](const QString&, int64_t, size_t) { return (errno = err) == 0; }); }
    // Saves a one-line order from the basket window while writes fail with `err` (0: as the
    // disk has them fail): the message says why, and the order stays in memory as typed.
    void saveFails(int err, const QString& why) {
        auto w = (Global::setCn(nullptr).reset(), app::startMainWindow(cl, &code));  // the folder's previous holder lets go first
        ASSERT_NE(w, nullptr);
        Global::CurrentOrder().Clear(), Global::CurrentOrder().InsertRow(), Global::CurrentOrder().setField("idn", 700);
        basket b;
        b.namek->setText("ООО «Стройка»");
        const auto before = snapshot(cl.db);
        failWrites(err), b.oform->click(), store::setWriteFailureHook(nullptr);
        EXPECT_EQ(snapshot(cl.db), before);
        EXPECT_TRUE(boxes.texts().value(boxes.shown.size() - 1).contains(QRegularExpression("^Заявка не сохранена: .*" + QRegularExpression::escape(table("TBL_APPS") + " не записывается: " + why))))
            << boxes.texts().join(" / ").toStdString();
        EXPECT_EQ(std::make_tuple(Global::CurrentOrder().RecordCount(), Global::CurrentOrder().norder, b.namek->text()),
                  std::make_tuple(int16_t(1), 0, QString("ООО «Стройка»")));
    }

    // A refresh on a disk that refuses its new files fails and leaves the folder as it was.
    void refreshFails(const QString& why) {
        const auto before = snapshot(cl.db);
        const int exit = (testing::internal::CaptureStderr(), app::runRefresh(cl));
        const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_TRUE(exit == 1 && err.contains("данные прежние") && err.contains(".staging/TBL_TPS.dbf не создаётся: " + why)) << err.toStdString();
        EXPECT_EQ(snapshot(cl.db), before);
    }

    QTemporaryDir tmp;
    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    app::CommandLine cl;
    int code = -1;
};

// A table with a damaged header: the start-up says so and opens the rest, the catalogue
// that needs the table says so again, the other tables serve, and the file is not touched.
TEST_F(Hostile, ATableWithADamagedHeaderIsNamedAtStartUpAndByTheWindowThatNeedsIt) {
    const QByteArray good = storetest::readFile(table("TBL_BSS"));
    const std::pair<QByteArray, const char*> damages[] = {{QByteArray(good).replace(8, 2, "\xFF\x7F"), "неверная длина заголовка 32767: длина файла всего"}, {QByteArray(good).replace(10, 1, QByteArray(1, char(good[10] + 1))), "длина записи"},
        {QByteArray(good).replace(uint8_t(good[8]) + 256 * uint8_t(good[9]) - 1, 1, "X"), "описания полей не завершены байтом 0x0D"}};
    for (const auto& [bytes, why] : damages) {
        storetest::writeFile(table("TBL_BSS"), bytes), boxes.shown.clear();
        const auto before = snapshot(cl.db);
        auto w = app::startMainWindow(cl, &code);
        ASSERT_NE(w, nullptr) << why;
        w->positions_cl_Click();
        EXPECT_EQ(boxes.texts().filter("Файл таблицы " + table("TBL_BSS") + " не читается: " + why).size(), 2) << boxes.texts().join('\n').toStdString();
        EXPECT_EQ(Global::Cn().open("SELECT TP_NM FROM TBL_TPS")->field("TP_NM").toText(), "Арматура");
        w.reset(), Global::setCn(nullptr);
        EXPECT_EQ(snapshot(cl.db), before) << why;
    }
}

// A read-only disk refuses the save, a full one the save and the refresh, as the write-failure hook has them.
TEST_F(Hostile, AReadOnlyOrAFullDiskRefusesTheSaveAndTheRefreshAndChangesNothing) {
    saveFails(EROFS, "диск доступен только для чтения");
    saveFails(ENOSPC, "на диске нет места");
    Global::setCn(nullptr), failWrites(ENOSPC);
    refreshFails("на диске нет места");
}

// The same on real disks where the machine lets a test mount them: the folder bound
// read-only for a save, a full tmpfs for a refresh, each in a mount namespace of its own
// where this test runs again, on the disk it finds named in its environment (and compares
// the folder's bytes there).
TEST_F(Hostile, MountedDisksReadOnlyOrFull) {
    if (const QString disk = qEnvironmentVariable("ZELVORIN_MOUNTED_DISK"); !disk.isEmpty()) {
        cl.db = qEnvironmentVariable("ZELVORIN_MOUNTED_DB");
        return disk == "ro" ? saveFails(0, "диск доступен только для чтения") : refreshFails("на диске нет места");
    }
    if (QProcess::execute("unshare", {"-rm", "mount", "-t", "tmpfs", "none", tmp.path()}) != 0) GTEST_SKIP() << "no mount namespace";
    const QString inner = "\" && exec \"$0\" --gtest_filter=Hostile.MountedDisksReadOnlyOrFull", mnt = tmp.filePath("mnt");
    const std::pair<const char*, QString> disks[] = {
        {"ro", "mount --bind \"$DB\" \"$DB\" && mount -o remount,bind,ro \"$DB\" && export ZELVORIN_MOUNTED_DB=\"$DB" + inner},
        {"full", "mkdir -p \"$MNT\" && mount -t tmpfs -o size=1m none \"$MNT\" && cp -a \"$DB\" \"$MNT\" && { dd if=/dev/zero of=\"$MNT/fill\" 2>/dev/null; "
                 "export ZELVORIN_MOUNTED_DB=\"$MNT/DB" + inner + "; }"}};
    for (const auto& [disk, script] : disks) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [k, v] : {std::pair<QString, QString>{"DB", cl.db}, {"MNT", mnt}, {"ZELVORIN_MOUNTED_DISK", disk}}) env.insert(k, v);
        const auto p = storetest::run("unshare", {"-rm", "sh", "-c", script, QCoreApplication::applicationFilePath()}, env);
        EXPECT_TRUE(p.exitCode == 0 && p.out.contains("[  PASSED  ] 1 test.")) << disk << p.out.toStdString() << p.err.toStdString();
    }
}

}  // namespace

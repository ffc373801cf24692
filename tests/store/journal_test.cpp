// A unit of statements across a crash: every image of the folder that a crash inside the
// unit can leave (the journal's last entry torn or whole) opens as before the unit; an
// ordinary failure inside it keeps what ran before.
#include "store/journal.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstring>

#include "core/checkpoint.h"
#include "store/dbf_connection.h"
#include "store/store_helpers.h"

namespace {

std::vector<std::string> everything(store::Connection& cn) {
    auto out = storetest::rows(cn, "SELECT * FROM A");
    for (const std::string& r : storetest::rows(cn, "SELECT * FROM B")) out.push_back("B " + r);
    return out;
}

QString copyOf(const QString& folder, const QString& to) {
    QDir().mkpath(to);
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        QFile::copy(QDir(folder).filePath(f), QDir(to).filePath(f));
    return to;
}

struct Unit : testing::Test {
    QTemporaryDir tmp;
    QString db = tmp.filePath("DB");
    std::unique_ptr<store::Connection> cn;
    void SetUp() override {
        QDir().mkpath(db);
        cn = store::openFolder(db);
        for (const char* t : {"A", "B"}) {
            cn->execute(QStringLiteral("CREATE TABLE %1 (K int, V varchar(10))").arg(t));
            for (int k = 1; k <= 3; ++k)
                cn->execute(QStringLiteral("INSERT INTO %1 (K, V) VALUES (%2, 'v')").arg(t).arg(k));
        }
    }
};

TEST_F(Unit, EveryCrashImageOpensAsBeforeTheUnit) {
    const auto before = everything(*cn);
    std::vector<std::pair<QString, bool>> images;  // a copy at each moment; true after a journal write
    core::setCheckpointHook([&](const char* moment) {
        images.emplace_back(copyOf(db, tmp.filePath(QString::number(images.size()))),
                            std::strcmp(moment, "journal written") == 0);
    });
    {
        store::AtomicUnit unit(*cn);
        cn->execute("UPDATE A SET V='x' WHERE K=2");
        cn->execute("INSERT INTO B (K, V) VALUES (9, 'new')");
        cn->execute("DELETE FROM A WHERE K=1");
        cn->execute("UPDATE B SET V='y' WHERE K>=3");  // an original record and the unit's own
        unit.commit();
    }
    core::setCheckpointHook({});
    const auto after = everything(*cn);
    ASSERT_NE(after, before);
    ASSERT_GE(images.size(), 10u);
    for (size_t k = 0; k < images.size(); ++k) {
        QStringList folders{images[k].first};
        if (images[k].second) {  // the journal's last write torn: the change it guards never began
            const QString torn = copyOf(images[k].first, images[k].first + "-torn");
            QFile j(store::journalFileOf(torn));
            ASSERT_TRUE(j.resize(j.size() - 5));
            folders << torn;
        }
        for (const QString& f : folders) {
            auto opened = store::openFolder(f);
            EXPECT_EQ(everything(*opened), before) << "image " << k << " " << f.toStdString();
            EXPECT_FALSE(QFile::exists(store::journalFileOf(f)));
        }
    }
    cn.reset();
    cn = store::openFolder(db);
    EXPECT_EQ(everything(*cn), after);
}

TEST_F(Unit, AFailedStatementLeavesWhatRanBeforeIt) {
    try {
        store::AtomicUnit unit(*cn);
        cn->execute("UPDATE A SET V='kept' WHERE K=2");
        cn->execute("UPDATE NOSUCH SET V='x'");
        FAIL() << "the statement on a missing table ran";
    } catch (const core::DbError&) {
    }
    EXPECT_FALSE(QFile::exists(store::journalFileOf(db)));
    cn.reset();
    cn = store::openFolder(db);
    EXPECT_EQ(storetest::rows(*cn, "SELECT V FROM A WHERE K=2"), std::vector<std::string>{"t:[kept]"});
}

}  // namespace

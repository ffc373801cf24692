// The synchronisation window: its boxes and button, what a press sends, and how a
// failed run is reported.
#include "db/Form1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "core/errors.h"
#include "db/schema.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"

using testsupport::RecordingConnection;

namespace {

// Notes, for every statement, whether the window would take another press at that moment.
struct WatchingConnection final : store::Connection {
    explicit WatchingConnection(store::Connection& inner) : inner(inner) {}
    void execute(const QString& sql) override { inner.execute(watched(sql)); }
    std::unique_ptr<store::RecordSet> open(const QString& sql) override { return inner.open(watched(sql)); }
    const QString& watched(const QString& sql) {
        pressableDuringRun += form->updateButton()->isEnabled() || form->box(1)->isEnabled();
        return sql;
    }
    store::Connection& inner;
    Form1* form = nullptr;
    int pressableDuringRun = 0;
};

TEST(Form1Window, TenClearBoxesInFourColumnsWithTheButtonBelowTheLast) {
    RecordingConnection cn;
    Form1 w(cn);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), "Form1");
    QStringList boxes;
    for (int i = 1; i <= 10; ++i) {
        boxes << w.box(i)->objectName() + ' ' + w.box(i)->text();
        EXPECT_EQ(w.box(i)->checkState(), Qt::Unchecked) << i;
    }
    EXPECT_EQ(boxes, (QStringList{"Check1 Типы", "Check2 Группы", "Check3 Позиции", "Check4 Регионы",
                                  "Check5 Города", "Check6 Организации", "Check7 Базы", "Check8 Прайсы",
                                  "Check9 Мусор", "Check10 Цены"}));
    EXPECT_EQ(w.updateButton()->text(), "Обновить");
    // Four columns of 3, 2, 3 and 2 boxes, left to right, each top to bottom.
    const int columnOf[] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 3, 3};
    for (int i = 2; i <= 10; ++i) {
        const bool sameColumn = columnOf[i] == columnOf[i - 1];
        EXPECT_EQ(w.box(i)->x() == w.box(i - 1)->x(), sameColumn) << i;
        EXPECT_TRUE(sameColumn ? w.box(i)->y() > w.box(i - 1)->y() : w.box(i)->x() > w.box(i - 1)->x()) << i;
    }
    EXPECT_EQ(w.updateButton()->x(), w.box(9)->x());
    EXPECT_GT(w.updateButton()->y(), w.box(10)->y());
}

TEST(Form1Window, PressCreatesTheWorkingTablesAndTheTickedOnesGreyedIncludedWithNothingPressable) {
    RecordingConnection recording;
    recording.answer(db::sourceQuery("TBL_TPS"), {{{"ind", 1}, {"type_name", "a"}}});
    WatchingConnection cn(recording);
    testsupport::ScriptedMessages boxes;
    Form1 w(cn);
    cn.form = &w;
    w.box(1)->setChecked(true);
    w.box(10)->setCheckState(Qt::PartiallyChecked);
    QTest::mouseClick(w.updateButton(), Qt::LeftButton);

    QStringList expected;
    for (const QString& t : db::workingTables()) expected << db::createStatement(t);
    expected << db::createStatement("TBL_TPS") << db::sourceQuery("TBL_TPS")
             << "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(1, 'a')" << db::createStatement("TBL_CSTS")
             << db::sourceQuery("TBL_CSTS");
    EXPECT_EQ(recording.statements(), expected);
    EXPECT_EQ(cn.pressableDuringRun, 0) << "nothing can be pressed while the run goes on";
    EXPECT_TRUE(boxes.shown.isEmpty()) << "a run that succeeds shows no message";
    EXPECT_TRUE(w.box(1)->isChecked()) << "the boxes stay as they were";
    EXPECT_TRUE(w.updateButton()->isEnabled() && w.box(1)->isEnabled());
}

TEST(Form1Window, FailedRunShowsTheStatementAndTheDatabasesMessage) {
    RecordingConnection cn;
    testsupport::ScriptedMessages boxes;
    cn.fail(db::createStatement("TBL_APPS"), "Table TBL_APPS already exists");
    Form1 w(cn);
    w.box(1)->setChecked(true);
    QTest::mouseClick(w.updateButton(), Qt::LeftButton);

    ASSERT_EQ(boxes.shown.size(), 1);
    const QString text = boxes.shown[0].text;
    EXPECT_TRUE(text.contains(db::createStatement("TBL_APPS")) &&
                text.contains("Table TBL_APPS already exists"))
        << text.toStdString();
    EXPECT_EQ(cn.statements().size(), 1) << "the run ends at the failing statement";
    EXPECT_TRUE(w.updateButton()->isEnabled()) << "the operator can press again after a failure";
}

}  // namespace

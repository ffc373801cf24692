// "Обновить цены" in the main window: the question, the progress with its cancel button,
// the report, and the catalogue showing the new data with the operator's base marks.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/mdi_zelvorin.h"
#include "app/refresh_prices.h"
#include "catalogue/positions.h"
#include "refresh_fixture.h"
#include "support/global_guard.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/grid_model.h"

namespace {

class RefreshWindow : public ::testing::Test, public testrefresh::Folders {
protected:
    void SetUp() override {
        int code = 0;
        w = app::startMainWindow(refreshFrom(newCentral()), &code);
        ASSERT_NE(w, nullptr);
        w->resize(1200, 800);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void choose() {
        QTest::mouseClick(w->menuBar(), Qt::LeftButton, {}, w->menuBar()->actionGeometry(w->refresh_cl).center());
    }
    // Base names and marks of the catalogue's bases list, regions left out.
    QStringList marks() {
        const ui::GridModel& b = w->findChild<ui::FlexGrid*>("bases")->model();
        QStringList out;
        for (int r = 0; r < b.rows(); ++r)
            if (b.text(r, 0) != "0") out << b.text(r, 3) + ":" + b.text(r, 2);
        return out;
    }

    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    std::unique_ptr<mdi_zelvorin> w;
};

TEST_F(RefreshWindow, AsksShowsProgressThatCancelsAndEndsWithTheReportAndTheNewData) {
    EXPECT_TRUE(w->refresh_cl->isEnabled());
    w->showPositions();
    ui::GridModel& b = w->findChild<ui::FlexGrid*>("bases")->model();
    for (int r = 0; r < b.rows(); ++r)
        if (b.text(r, 3) == "База Юг") b.setText(r, 2, "");
    const QStringList oldMarks = marks();
    // The catalogue shows a search whose price the refresh raises.
    w->findChild<QCheckBox*>("Check_con")->setChecked(true);
    w->findChild<QLineEdit*>("shablon")->setText("арм 12");
    const ui::GridModel& dg = w->findChild<ui::FlexGrid*>("dg")->model();
    EXPECT_EQ(dg.rowTexts(1), (QStringList{"700", "Арматура 12", "1000", "1000"}));
    EXPECT_EQ(oldMarks, (QStringList{"База Север:V", "База Юг:"}));

    boxes.answer(core::MsgAnswer::No);
    choose();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(app::kRefreshQuestion));
    EXPECT_EQ(boxes.shown[0].buttons, core::MsgButtons::YesNo);

    // The progress names the table being copied; its cancel button is pressed mid-copy.
    QString label;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = w->findChild<QProgressDialog*>("refreshProgress");
        if (!progress || !progress->labelText().startsWith("Таблица TBL_PRSS")) return;
        poll.stop();
        label = progress->labelText();
        progress->grab().save(ZELVORIN_BINARY_DIR "/refresh-progress.png");
        QPushButton* cancel = progress->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->text(), "Отмена");
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    poll.start(0);
    choose();
    EXPECT_EQ(label, "Таблица TBL_PRSS: скопировано строк 0");
    EXPECT_EQ(boxes.texts().last(), "Обновление прервано. Справочники остались прежними.");
    EXPECT_EQ(marks(), oldMarks);
    EXPECT_EQ(w->findChild<QDialog*>("refreshReport"), nullptr);

    choose();
    auto* report = w->findChild<QDialog*>("refreshReport");
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    const QString text = report->findChild<QPlainTextEdit*>("reportText")->toPlainText();
    EXPECT_TRUE(text.contains("Позиции добавлены: 1\n  + Швеллер 10")) << text.toStdString();
    EXPECT_EQ(marks(), (QStringList{"База Север:V", "База Юг (новое):"})) << "the unmarked base stays unmarked";
    EXPECT_EQ(dg.rowTexts(1), (QStringList{"700", "Арматура 12", "1100", "1100"})) << "the search reads the new tables";
    report->grab().save(ZELVORIN_BINARY_DIR "/refresh-report.png");
    QTest::mouseClick(report->findChild<QPushButton*>("closeReport"), Qt::LeftButton);
    EXPECT_FALSE(w->findChild<QDialog*>("refreshReport") && report->isVisible());
    EXPECT_EQ(boxes.shown.size(), 4) << boxes.texts().join('\n').toStdString();
}

}  // namespace

// The type and group lists: LoadTypeGroupLabels filling a growable label array and
// sizing its frame, and the catalogue's lists when they are long.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include "global/global.h"
#include "catalogue/catalogue_fixture.h"
#include "catalogue/catalogue_logic.h"
#include "ui/twips.h"
#include "support/scripted_seams.h"
#include "ui/label_array.h"
#include "ui/twips_layout.h"

namespace {

QStringList typeRows(int n, const QString& prefix = QStringLiteral("Тип ")) {
    QStringList s;
    for (int i = 1; i <= n; ++i)
        s << QStringLiteral("INSERT INTO TBL_TPS (IND, TP_NM) VALUES (%1, '%2%3')")
                 .arg(i)
                 .arg(prefix)
                 .arg(i, 2, 10, QLatin1Char('0'));
    return s;
}

class TypeGroupLabels : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        frame = new QGroupBox(QStringLiteral("Тип продукции"), &window);
        frame->setGeometry(10, 10, 100, 100);
        labels = new ui::LabelArray(frame, QStringLiteral("lb"), 75, 240, 270, 255);
        window.resize(800, 600);
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }
    void load(int16_t typeId) { Global::LoadTypeGroupLabels(typeId, *labels, *frame); }
    int visibleCount() const {
        int n = 0;
        for (int i = 0; i < labels->count(); ++i) n += labels->isVisible(i) ? 1 : 0;
        return n;
    }

    std::unique_ptr<testcat::CatalogueDb> db;
    QWidget window;
    QGroupBox* frame = nullptr;
    ui::LabelArray* labels = nullptr;
};

TEST_F(TypeGroupLabels, TypesInNameOrderWithTheirKeysInTheTags) {
    db = std::make_unique<testcat::CatalogueDb>();
    load(0);
    EXPECT_EQ(db->cn().opened(), QStringList{"SELECT * FROM TBL_TPS ORDER BY TP_NM"});
    ASSERT_EQ(visibleCount(), 3);
    EXPECT_EQ(labels->caption(0), QStringLiteral("Листовой прокат"));
    EXPECT_EQ(labels->tag(0), 3);
    EXPECT_EQ(labels->caption(2), QStringLiteral("Трубы"));
    EXPECT_EQ(labels->tag(2), 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(labels->backColor(i), 0xC0FFFFu);
        EXPECT_EQ(labels->foreColor(i), 0x400040u);
        EXPECT_EQ(labels->top(i) - labels->top(0), 270 * i);
    }
    EXPECT_NEAR(ui::heightTwips(*frame), 270 * 3 + 350, 15);
}

TEST_F(TypeGroupLabels, NamesAreTrimmedAndTheLongestSetsTheCommonWidth) {
    db = std::make_unique<testcat::CatalogueDb>(
        QStringList{"INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (1, 7, '   Уголок  ')",
                    "INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (2, 7, 'Швеллер горячекатаный "
                    "конструкционный')",
                    "INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (3, 8, 'Чужая группа')"});
    load(7);
    EXPECT_EQ(db->cn().opened(), QStringList{"SELECT * FROM TBL_GRPS WHERE IND_TP=7 ORDER BY GRP_NM"});
    ASSERT_EQ(visibleCount(), 2);
    EXPECT_EQ(labels->caption(0), QStringLiteral("Уголок"));
    const int w = labels->measure(QStringLiteral("Швеллер горячекатаный конструкционный"));
    EXPECT_GT(w, labels->measure(frame->title()));
    EXPECT_EQ(labels->width(0), w);
    EXPECT_EQ(labels->width(1), w);
    EXPECT_NEAR(ui::widthTwips(*frame), w + 150, 15);
}

TEST_F(TypeGroupLabels, TheFrameCaptionCountsInTheWidth) {
    db = std::make_unique<testcat::CatalogueDb>(
        QStringList{"INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (1, 7, 'Лист')"});
    frame->setTitle(QStringLiteral("Очень длинная подпись панели групп"));
    load(7);
    EXPECT_EQ(labels->width(0), labels->measure(frame->title()));
}

TEST_F(TypeGroupLabels, ATypeWithoutGroupsHidesEveryLabel) {
    db = std::make_unique<testcat::CatalogueDb>();
    load(1);  // two groups first, so that labels exist to be hidden
    ASSERT_EQ(visibleCount(), 2);
    load(3);
    EXPECT_EQ(visibleCount(), 0);
    EXPECT_EQ(labels->width(0), 0);
    EXPECT_NEAR(ui::heightTwips(*frame), 345, 15);  // 350 twips, to the pixel
    EXPECT_NEAR(ui::widthTwips(*frame), labels->measure(frame->title()) + 150, 15);
}

TEST_F(TypeGroupLabels, ANegativeTypeQueriesNothing) {
    db = std::make_unique<testcat::CatalogueDb>();
    load(-1);
    EXPECT_TRUE(db->cn().opened().isEmpty());
}

TEST_F(TypeGroupLabels, AListLongerThan25ShowsEveryEntry) {
    db = std::make_unique<testcat::CatalogueDb>(typeRows(40));
    load(0);
    ASSERT_EQ(visibleCount(), 40);
    EXPECT_EQ(labels->caption(39), QStringLiteral("Тип 40"));
    EXPECT_EQ(labels->tag(39), 40);
    EXPECT_NEAR(ui::heightTwips(*frame), 270 * 40 + 350, 15);
}

TEST_F(TypeGroupLabels, ARowLimitWrapsTheListIntoColumnsInsideTheFrame) {
    db = std::make_unique<testcat::CatalogueDb>(typeRows(40));
    labels->setMaxRows(15);
    load(0);
    ASSERT_EQ(visibleCount(), 40);
    EXPECT_NEAR(ui::heightTwips(*frame), 270 * 15 + 350, 15);
    const int w = labels->width(0);
    EXPECT_EQ(labels->span(), 3 * w + 2 * ui::LabelArray::kColumnGap);
    EXPECT_NEAR(ui::widthTwips(*frame), labels->span() + 150, 15);
    EXPECT_EQ(labels->left(15), labels->left(0) + w + ui::LabelArray::kColumnGap);
    EXPECT_EQ(labels->top(15), labels->top(0));
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(frame->rect().contains(labels->label(i)->geometry())) << i;
}

// The catalogue window with long lists: every entry can be reached and none leaves
// the window.
TEST(LongLists, TheCatalogueShowsFortyTypesAndFortyGroupsInsideTheWindow) {
    QStringList data = typeRows(40);
    for (int i = 1; i <= 40; ++i)
        data << QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (%1, 40, 'Группа %2')")
                    .arg(100 + i)
                    .arg(i, 2, 10, QLatin1Char('0'));
    testcat::CatalogueDb db(data);
    testsupport::ScriptedMessages messages;
    ui::setLogicalDpiForTests(96);
    positions::setScreenSizeForTests(QSize(28800, 16200));
    positions w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QLabel* title = w.findChild<QLabel*>("Label10");
    QTest::mouseMove(title, QPoint(5, 5));
    auto* frm1 = w.findChild<QGroupBox*>("frm1");
    auto* frm2 = w.findChild<QGroupBox*>("frm2");
    ASSERT_TRUE(frm1->isVisible());
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(w.lb1().isVisible(i)) << i;
        EXPECT_TRUE(frm1->rect().contains(w.lb1().label(i)->geometry())) << i;
    }
    EXPECT_TRUE(w.rect().contains(frm1->geometry()));

    // The last type, low in the list: its group panel opens inside the window too.
    QTest::mouseMove(w.lb1().label(39), QPoint(6, 6));
    ASSERT_TRUE(frm2->isVisible());
    EXPECT_EQ(frm2->title(), QStringLiteral("Тип 40"));
    EXPECT_LE(frm2->geometry().bottom(), w.rect().bottom());
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(w.lb2().isVisible(i)) << i;

    // The last group can be chosen.
    QTest::mouseMove(w.lb2().label(39), QPoint(6, 6));
    QTest::mousePress(w.lb2().label(39), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(w.findChild<QLabel*>("zag")->text(), QStringLiteral("Тип 40 - Группа 40"));
    EXPECT_EQ(db.cn().opened().last(),
              catalogue::positionsStatement(catalogue::positionsCondition(140, w.BasesFilter())));
    EXPECT_TRUE(messages.shown.isEmpty());
}

}  // namespace

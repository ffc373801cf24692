// The line editor: what it loads, how "ОК" reads the quantity in every locale, what it
// refuses, and what "Отмена", Esc and the close box do to a new or an existing line.
#include "basket/frmEd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "basket/dialogs.h"
#include "global/global.h"
#include "support/scripted_seams.h"

using testsupport::LocaleGuard;
using testsupport::ScriptedMessages;

namespace {

clsZak& order() {
    return Global::CurrentOrder();
}

class FrmEdTest : public ::testing::Test {
protected:
    void SetUp() override {
        order().Clear();
        order().Init();
    }
    void TearDown() override { order() = saved_; }
    // Adds a line of position 100 and leaves the cursor on it.
    static int addLine(double qty, const QString& note = QString()) {
        const int slot = order().InsertRow();
        order().setField("idn", 100);
        order().setField("qty", core::Value::dbl(qty));
        order().setField("prim", note);
        return slot;
    }
    // The stored quantity and note of a line.
    static std::pair<double, QString> stored(int slot) {
        order().MoveTo(slot);
        return {order().Field("qty").toDouble(), order().Field("prim").toText()};
    }

    clsZak saved_ = Global::CurrentOrder();
    ScriptedMessages messages_;
};

TEST_F(FrmEdTest, ShowsItsCaptionsAndTheCurrentLine) {
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    addLine(1, QStringLiteral("без резки"));
    addLine(2.5, QStringLiteral(" резать по 6 м "));
    frmEd ed;
    if (const QByteArray out = qgetenv("ZELVORIN_FRMED_PNG"); !out.isEmpty()) {
        ed.show();
        ed.grab().save(QString::fromLocal8Bit(out));
    }
    EXPECT_EQ((QStringList{ed.windowTitle(), ed.Label11->text(), ed.Label8->text(), ed.Command1->text(),
                           ed.Command2->text(), ed.qty->text(), ed.prim->text()}),
              (QStringList{"Заказ позиции", "Количество:", "Примечание:", "ОК", "Отмена", "2,5",
                           " резать по 6 м "}));
    EXPECT_TRUE(ed.Command1->isDefault());
}

// The same figures typed with a point or a comma, padded or blank, under the locales an
// operator may have, confirmed by the button or by Enter: stored alike, the box keeps
// the trimmed text, the note is stored untrimmed.
TEST_F(FrmEdTest, OkReadsPointAndCommaAlikeInEveryLocale) {
    const QLocale locales[] = {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::German, QLocale::Germany)};
    const struct {
        const char *typed, *shown;
        double stored;
    } cases[] = {{"2.5", "2.5", 2.5},  {"2,5", "2,5", 2.5},       {"  2.5  ", "2.5", 2.5},
                 {"", "0", 0},         {"   ", "0", 0},           {"-0", "-0", 0},
                 {"1e3", "1e3", 1000}, {"0,125", "0,125", 0.125}, {"1000", "1000", 1000}};
    for (const QLocale& loc : locales) {
        LocaleGuard locale(loc);
        for (const auto& c : cases) {
            const int slot = addLine(9);
            frmEd ed;
            ed.show();
            ed.qty->setText(QString::fromUtf8(c.typed));
            ed.prim->setText(QStringLiteral("  резать пополам "));
            if (slot % 2)
                QTest::keyClick(ed.qty, Qt::Key_Return);
            else
                QTest::mouseClick(ed.Command1, Qt::LeftButton);
            const std::string what = loc.name().toStdString() + " '" + c.typed + "'";
            EXPECT_EQ(ed.result(), QDialog::Accepted) << what;
            EXPECT_FALSE(ed.isVisible());
            EXPECT_EQ(ed.qty->text(), QString::fromUtf8(c.shown)) << what;
            const auto [qty, note] = stored(slot);
            EXPECT_DOUBLE_EQ(qty, c.stored) << what;
            EXPECT_FALSE(std::signbit(qty)) << what;  // no negative zero in the order
            EXPECT_EQ(note, "  резать пополам ");
        }
    }
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(FrmEdTest, QuantityThatIsNoNumberOrNegativeKeepsTheEditorOpenAndTheLine) {
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    const QString notANumber = QStringLiteral("Количество должно быть числом.");
    const QString negative = QStringLiteral("Количество не может быть отрицательным.");
    const std::pair<const char*, QString> cases[] = {
        {"abc", notANumber},     {"2.5.1", notANumber}, {"1 000", notANumber},
        {"1,000.5", notANumber}, {"2,5 т", notANumber}, {"inf", notANumber},
        {"nan", notANumber},     {"-1", negative},      {" -0,5 ", negative}};
    for (const auto& [typed, message] : cases) {
        ScriptedMessages messages;
        const int slot = addLine(3, QStringLiteral("старое"));
        frmEd ed;
        ed.onAdd = true;
        ed.show();
        ed.qty->setText(QString::fromUtf8(typed));
        ed.prim->setText(QStringLiteral("новое"));
        QTest::mouseClick(ed.Command1, Qt::LeftButton);
        EXPECT_EQ(messages.texts(), QStringList{message}) << typed;
        EXPECT_EQ(messages.shown.value(0).title, "Заказ позиции");
        EXPECT_TRUE(ed.isVisible()) << typed;
        EXPECT_EQ(ed.qty->text(), QString::fromUtf8(typed).trimmed());
        EXPECT_EQ(stored(slot), std::make_pair(3.0, QStringLiteral("старое")));
        // Corrected, the same editor stores it.
        ed.qty->setText(QStringLiteral("4"));
        QTest::mouseClick(ed.Command1, Qt::LeftButton);
        EXPECT_FALSE(ed.isVisible());
        EXPECT_EQ(stored(slot), std::make_pair(4.0, QStringLiteral("новое")));
        order().RemoveRow(static_cast<int16_t>(slot));
    }
}

// "Отмена" and Esc take out only a line just added; the close box runs neither button.
TEST_F(FrmEdTest, CancelRemovesOnlyALineJustAddedAndTheCloseBoxNothing) {
    const struct {
        int how;  // 0 the button, 1 Esc, 2 the close box
        bool onAdd;
        int lines;
    } cases[] = {{0, true, 1}, {0, false, 2}, {1, true, 1}, {1, false, 2}, {2, true, 2}};
    for (const auto& c : cases) {
        addLine(1);
        const int slot = addLine(2, QStringLiteral("как было"));
        frmEd ed;
        ed.onAdd = c.onAdd;
        ed.show();
        ed.qty->setText(QStringLiteral("5"));
        if (c.how == 0) QTest::mouseClick(ed.Command2, Qt::LeftButton);
        if (c.how == 1) QTest::keyClick(ed.qty, Qt::Key_Escape);
        if (c.how == 2) ed.close();
        EXPECT_FALSE(ed.isVisible());
        EXPECT_EQ(order().RecordCount(), c.lines) << c.how << c.onAdd;
        EXPECT_TRUE(c.lines == 1 || stored(slot) == std::make_pair(2.0, QStringLiteral("как было")));
        order().Clear();
    }
}

TEST_F(FrmEdTest, OpenedThroughTheSeamItIsPlacedAndModal) {
    const int slot = addLine(1);
    QSize seenSize;
    QPoint shownAt;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        wasModal = ed->isModal();
        shownAt = ed->pos();
        ed->qty->setText(QStringLiteral("3,5"));
        ed->Command1->click();
    });
    basket_dialogs::showLineEditor(false, [&](QSize s) {
        seenSize = s;
        return QPoint(40, 30);
    });
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(seenSize.isEmpty());
    EXPECT_EQ(shownAt, QPoint(40, 30));
    EXPECT_EQ(stored(slot).first, 3.5);
}

}  // namespace

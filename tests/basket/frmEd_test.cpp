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

#include "global/global.h"
#include "basket/dialogs.h"
#include "support/scripted_seams.h"

using testsupport::LocaleGuard;
using testsupport::ScriptedMessages;

namespace {

// CurrentOrder emptied for the test and given back afterwards.
class OrderGuard {
public:
    OrderGuard() : saved_(Global::CurrentOrder()) {
        Global::CurrentOrder().Clear();
        Global::CurrentOrder().Init();
    }
    ~OrderGuard() { Global::CurrentOrder() = saved_; }

private:
    clsZak saved_;
};

clsZak& order() {
    return Global::CurrentOrder();
}

// Adds a line of position 100 and leaves the cursor on it.
int addLine(double qty, const QString& note = QString()) {
    const int slot = order().InsertRow();
    order().setField("idn", 100);
    order().setField("qty", core::Value::dbl(qty));
    order().setField("prim", note);
    return slot;
}

double storedQty(int slot) {
    order().MoveTo(slot);
    return order().Field("qty").toDouble();
}

class FrmEdTest : public ::testing::Test {
protected:
    OrderGuard guard_;
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
    EXPECT_EQ(ed.windowTitle(), "Заказ позиции");
    EXPECT_EQ(ed.Label11->text(), "Количество:");
    EXPECT_EQ(ed.Label8->text(), "Примечание:");
    EXPECT_EQ(ed.Command1->text(), "ОК");
    EXPECT_EQ(ed.Command2->text(), "Отмена");
    EXPECT_TRUE(ed.Command1->isDefault());
    EXPECT_EQ(ed.qty->text(), "2,5");
    EXPECT_EQ(ed.prim->text(), " резать по 6 м ");
}

// The same figures typed with a point or a comma, padded or blank, under the locales an
// operator may have: stored alike, and the box keeps the trimmed text.
TEST_F(FrmEdTest, OkReadsPointAndCommaAlikeInEveryLocale) {
    const QLocale locales[] = {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::German, QLocale::Germany)};
    struct Case {
        const char* typed;
        double stored;
        const char* shown;
    } cases[] = {
        {"2.5", 2.5, "2.5"}, {"2,5", 2.5, "2,5"}, {"  2.5  ", 2.5, "2.5"},   {"", 0, "0"},
        {"   ", 0, "0"},     {"7", 7, "7"},       {"0,125", 0.125, "0,125"}, {"1000", 1000, "1000"},
    };
    for (const QLocale& loc : locales) {
        LocaleGuard locale(loc);
        for (const Case& c : cases) {
            const int slot = addLine(9);
            frmEd ed;
            ed.show();
            ed.qty->setText(QString::fromUtf8(c.typed));
            QTest::mouseClick(ed.Command1, Qt::LeftButton);
            EXPECT_EQ(ed.result(), QDialog::Accepted) << loc.name().toStdString() << " '" << c.typed << "'";
            EXPECT_FALSE(ed.isVisible());
            EXPECT_EQ(ed.qty->text(), QString::fromUtf8(c.shown));
            EXPECT_DOUBLE_EQ(storedQty(slot), c.stored) << loc.name().toStdString() << " '" << c.typed << "'";
            order().RemoveRow(static_cast<int16_t>(slot));
        }
    }
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(FrmEdTest, NoteIsStoredUntrimmed) {
    const int slot = addLine(1);
    frmEd ed;
    ed.show();
    ed.prim->setText(QStringLiteral("  резать пополам "));
    QTest::mouseClick(ed.Command1, Qt::LeftButton);
    order().MoveTo(slot);
    EXPECT_EQ(order().Field("prim").toText(), "  резать пополам ");
}

TEST_F(FrmEdTest, QuantityThatIsNoNumberOrNegativeKeepsTheEditorOpenAndTheLine) {
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    struct Case {
        const char* typed;
        const char* message;
    } cases[] = {
        {"abc", "Количество должно быть числом."},
        {"2.5.1", "Количество должно быть числом."},
        {"1 000", "Количество должно быть числом."},  // group separators are not taken
        {"1,000.5", "Количество должно быть числом."},
        {"2,5 т", "Количество должно быть числом."},
        {"-1", "Количество не может быть отрицательным."},
        {" -0,5 ", "Количество не может быть отрицательным."},
    };
    for (const Case& c : cases) {
        ScriptedMessages messages;
        const int slot = addLine(3, QStringLiteral("старое"));
        frmEd ed;
        ed.onAdd = true;
        ed.show();
        ed.qty->setText(QString::fromUtf8(c.typed));
        ed.prim->setText(QStringLiteral("новое"));
        QTest::mouseClick(ed.Command1, Qt::LeftButton);

        ASSERT_EQ(messages.shown.size(), 1) << c.typed;
        EXPECT_EQ(messages.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(messages.shown[0].title, "Заказ позиции");
        EXPECT_TRUE(ed.isVisible()) << c.typed;
        EXPECT_EQ(ed.qty->text(), QString::fromUtf8(c.typed).trimmed());
        EXPECT_EQ(order().RecordCount(), 1);
        EXPECT_DOUBLE_EQ(storedQty(slot), 3);
        EXPECT_EQ(order().Field("prim").toText(), "старое");

        // Corrected, the same editor stores it.
        order().MoveTo(slot);
        ed.qty->setText(QStringLiteral("4"));
        QTest::mouseClick(ed.Command1, Qt::LeftButton);
        EXPECT_FALSE(ed.isVisible());
        EXPECT_DOUBLE_EQ(storedQty(slot), 4);
        order().RemoveRow(static_cast<int16_t>(slot));
    }
}

TEST_F(FrmEdTest, CancelRemovesOnlyALineJustAdded) {
    for (bool onAdd : {true, false}) {
        addLine(1);
        const int slot = addLine(2);
        frmEd ed;
        ed.onAdd = onAdd;
        ed.show();
        ed.qty->setText(QStringLiteral("5"));
        QTest::mouseClick(ed.Command2, Qt::LeftButton);
        EXPECT_FALSE(ed.isVisible());
        EXPECT_EQ(order().RecordCount(), onAdd ? 1 : 2) << "onAdd " << onAdd;
        if (!onAdd) {
            EXPECT_DOUBLE_EQ(storedQty(slot), 2);
        }
        order().Clear();
    }
}

TEST_F(FrmEdTest, EscCancelsLikeTheButton) {
    addLine(1);
    frmEd ed;
    ed.onAdd = true;
    ed.show();
    QTest::keyClick(ed.qty, Qt::Key_Escape);
    EXPECT_FALSE(ed.isVisible());
    EXPECT_EQ(order().RecordCount(), 0);
}

TEST_F(FrmEdTest, EnterConfirmsLikeTheButton) {
    const int slot = addLine(1);
    frmEd ed;
    ed.show();
    ed.qty->setText(QStringLiteral("12,5"));
    QTest::keyClick(ed.qty, Qt::Key_Return);
    EXPECT_EQ(ed.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(storedQty(slot), 12.5);
}

TEST_F(FrmEdTest, CloseBoxRunsNeitherButton) {
    const int slot = addLine(1, QStringLiteral("как было"));
    frmEd ed;
    ed.onAdd = true;
    ed.show();
    ed.qty->setText(QStringLiteral("8"));
    ed.close();
    EXPECT_FALSE(ed.isVisible());
    EXPECT_EQ(order().RecordCount(), 1);
    EXPECT_DOUBLE_EQ(storedQty(slot), 1);
    EXPECT_EQ(order().Field("prim").toText(), "как было");
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
    EXPECT_DOUBLE_EQ(storedQty(slot), 3.5);
}

TEST(ParseQuantity, ReadsOnlyPlainDecimalNumbers) {
    LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {{"2.5", true, 2.5},  {"2,5", true, 2.5}, {" 3 ", true, 3},  {"-0", true, 0},
                 {"1e3", true, 1000}, {"", false, 0},     {"inf", false, 0}, {"nan", false, 0},
                 {"1.2.3", false, 0}, {"12 т", false, 0}};
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(parseQuantity(QString::fromUtf8(c.text), &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
            EXPECT_FALSE(std::signbit(v)) << c.text;
        }
    }
}

}  // namespace

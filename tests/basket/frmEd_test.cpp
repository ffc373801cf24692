// The line editor: what it loads, how "ОК" reads the quantity in every locale, what it
// refuses, and what "Отмена", Esc and the close box do to a new or an existing line.
#include "basket/frmEd.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "basket_db.h"
#include "support/scripted_seams.h"

using testsupport::LocaleGuard;

namespace {

class FrmEdTest : public ::testing::Test {
protected:
    // Adds a line of position 100 and leaves the cursor on it.
    static int addLine(double qty, const QString& note) {
        const int slot = basket_test::BasketDb::addLine(100, qty);
        Global::CurrentOrder().setField("prim", note);
        return slot;
    }
    // The stored quantity and note of a line.
    static std::pair<double, QString> stored(int slot) {
        Global::CurrentOrder().MoveTo(slot);
        return {Global::CurrentOrder().Field("qty").toDouble(),
                Global::CurrentOrder().Field("prim").toText()};
    }
    basket_test::BasketDb db_;
    testsupport::ScriptedMessages messages_;
};

// The same figures typed with a point or a comma, padded or blank, under the locales an
// operator may have, confirmed by the button or by Enter: stored alike, the box keeps
// the trimmed text, the note is stored untrimmed. What is no quantity keeps the editor
// open and the line as it was, until corrected.
TEST_F(FrmEdTest, OkReadsPointAndCommaAlikeInEveryLocaleAndRefusesTheRest) {
    const QString nan = QStringLiteral("Количество должно быть числом.");
    const QString negative = QStringLiteral("Количество не может быть отрицательным.");
    const struct {
        const char* typed;
        double stored;  // -1: refused with the message
        QString message = {};
    } cases[] = {{"2.5", 2.5},       {"2,5", 2.5},       {"  2.5  ", 2.5},     {"", 0},
                 {"   ", 0},         {"-0", 0},          {"1e3", 1000},        {"0,125", 0.125},
                 {"abc", -1, nan},   {"2.5.1", -1, nan}, {"1 000", -1, nan},   {"1,000.5", -1, nan},
                 {"2,5 т", -1, nan}, {"inf", -1, nan},   {"-1", -1, negative}, {" -0,5 ", -1, negative}};
    for (const QLocale& loc : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German)}) {
        LocaleGuard locale(loc);
        for (const auto& c : cases) {
            const std::string what = loc.name().toStdString() + " '" + c.typed + "'";
            testsupport::ScriptedMessages messages;
            const int slot = addLine(9, QStringLiteral("старое"));
            frmEd ed;
            ed.onAdd = true;
            ed.show();
            ed.qty->setText(QString::fromUtf8(c.typed));
            ed.prim->setText(QStringLiteral("  резать пополам "));
            QTest::keyClick(ed.qty, Qt::Key_Return);
            const QString trimmed = QString::fromUtf8(c.typed).trimmed();
            EXPECT_EQ(ed.qty->text(), trimmed.isEmpty() ? QStringLiteral("0") : trimmed) << what;
            EXPECT_EQ(messages.texts(), c.stored < 0 ? QStringList{c.message} : QStringList{}) << what;
            EXPECT_EQ(ed.isVisible(), c.stored < 0) << what;
            if (c.stored < 0) {
                EXPECT_EQ(stored(slot), std::make_pair(9.0, QStringLiteral("старое"))) << what;
                ed.qty->setText(QStringLiteral("4"));
                QTest::mouseClick(ed.Command1, Qt::LeftButton);
            }
            EXPECT_FALSE(ed.isVisible()) << what;
            const auto [qty, note] = stored(slot);
            EXPECT_DOUBLE_EQ(qty, c.stored < 0 ? 4 : c.stored) << what;
            EXPECT_FALSE(std::signbit(qty)) << what;  // no negative zero in the order
            EXPECT_EQ(note, "  резать пополам ");
        }
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
        addLine(1, {});
        const int slot = addLine(2, QStringLiteral("как было"));
        frmEd ed;
        ed.onAdd = c.onAdd;
        ed.show();
        ed.qty->setText(QStringLiteral("5"));
        if (c.how == 0) QTest::mouseClick(ed.Command2, Qt::LeftButton);
        if (c.how == 1) QTest::keyClick(ed.qty, Qt::Key_Escape);
        if (c.how == 2) ed.close();
        EXPECT_FALSE(ed.isVisible());
        EXPECT_EQ(Global::CurrentOrder().RecordCount(), c.lines) << c.how << c.onAdd;
        EXPECT_TRUE(c.lines == 1 || stored(slot) == std::make_pair(2.0, QStringLiteral("как было")));
        Global::CurrentOrder().Clear();
    }
}

}  // namespace

// The line editor: what it loads, how "ОК" reads the quantity in every locale, what it
// refuses, and what "Отмена", Esc and the close box do to a new or an existing line.
#include "basket/frmEd.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "basket_db.h"
#include "support/keys.h"
#include "support/scripted_seams.h"

using basket_test::BasketDb;

namespace {

// The stored quantity and note of a line.
std::pair<double, QString> stored(int slot) {
    Global::CurrentOrder().MoveTo(slot);
    return {Global::CurrentOrder().Field("qty").toDouble(), Global::CurrentOrder().Field("prim").toText()};
}

// The same figures typed with a point or a comma, padded or blank, under the locales an
// operator may have, confirmed by Enter: stored alike, the box keeps the trimmed text, the
// note is stored untrimmed. What is no quantity keeps the editor open with the line as it
// was, until corrected and confirmed by the button.
TEST(FrmEd, OkReadsPointAndCommaAlikeInEveryLocaleAndRefusesTheRest) {
    BasketDb db;
    const char* nan = "Количество должно быть числом.";
    const char* negative = "Количество не может быть отрицательным.";
    // typed, shown, stored, message ("" for none: the line takes the quantity)
    const std::tuple<const char*, const char*, double, const char*> cases[] = {
        {"2.5", "2.5", 2.5, ""},       {"2,5", "2,5", 2.5, ""},
        {"  2.5  ", "2.5", 2.5, ""},   {"", "0", 0, ""},
        {"-0", "-0", 0, ""},           {"1e3", "1e3", 1000, ""},
        {"0,125", "0,125", 0.125, ""}, {"2.5.1", "2.5.1", 0, nan},
        {"1 000", "1 000", 0, nan},    {"1,000.5", "1,000.5", 0, nan},
        {"2,5 т", "2,5 т", 0, nan},    {"inf", "inf", 0, nan},
        {"-1", "-1", 0, negative},     {" -0,5 ", "-0,5", 0, negative}};
    for (const QLocale& loc : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                               QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German)}) {
        testsupport::LocaleGuard locale(loc);
        for (const auto& [typed, shown, qty, message] : cases) {
            const std::string what = loc.name().toStdString() + " '" + typed + "'";
            testsupport::ScriptedMessages messages;
            const int slot = BasketDb::addLine(100, 9, "старое");
            frmEd ed;
            ed.show();
            ed.qty->setText(QString::fromUtf8(typed));
            ed.prim->setText("  резать пополам ");
            QTest::keyClick(ed.qty, Qt::Key_Return);
            EXPECT_EQ(ed.qty->text(), QString::fromUtf8(shown)) << what;
            EXPECT_EQ(messages.texts(), *message ? QStringList{message} : QStringList{}) << what;
            if (*message) {
                EXPECT_EQ(stored(slot), std::make_pair(9.0, QStringLiteral("старое"))) << what;
                ed.qty->setText("4");
                QTest::mouseClick(ed.Command1, Qt::LeftButton);
            }
            EXPECT_FALSE(ed.isVisible()) << what;
            const auto [storedQty, note] = stored(slot);
            EXPECT_DOUBLE_EQ(storedQty, *message ? 4 : qty) << what;
            EXPECT_FALSE(std::signbit(storedQty)) << what;  // no negative zero in the order
            EXPECT_EQ(note, "  резать пополам ") << what;
        }
    }
}

// "Отмена" and Esc take out only a line just added; the close box runs neither button. The
// editor opens on the line's own quantity and note.
TEST(FrmEd, CancelRemovesOnlyALineJustAddedAndTheCloseBoxNothing) {
    BasketDb db;
    testsupport::ScriptedMessages messages;
    const std::tuple<int, bool, int> cases[] = {
        {0, true, 1}, {0, false, 2}, {1, true, 1}, {1, false, 2}, {2, true, 2}};
    for (const auto& [how, onAdd, lines] : cases) {  // how: 0 the button, 1 Esc, 2 the close box
        BasketDb::addLine(100, 1);
        const int slot = BasketDb::addLine(100, 2, "как было");
        frmEd ed;
        EXPECT_EQ(QStringList({ed.windowTitle(), ed.qty->text(), ed.prim->text()}),
                  QStringList({"Заказ позиции", "2", "как было"}));
        EXPECT_EQ(testsupport::mnemonicFaults(ed), QStringList{});
        ed.onAdd = onAdd;
        ed.show();
        ed.qty->setText("5");
        if (how == 0) QTest::mouseClick(ed.Command2, Qt::LeftButton);
        if (how == 1) QTest::keyClick(ed.qty, Qt::Key_Escape);
        if (how == 2) ed.close();
        EXPECT_FALSE(ed.isVisible());
        EXPECT_EQ(Global::CurrentOrder().RecordCount(), lines) << how << onAdd;
        if (lines == 2) EXPECT_EQ(stored(slot), std::make_pair(2.0, QStringLiteral("как было"))) << how;
        Global::CurrentOrder().Clear();
    }
    EXPECT_TRUE(messages.shown.isEmpty());
}

}  // namespace

// The basket window on a three-line order over real table files: loading, the
// comparison grid and its mouse and key handling, the header's typing rules, saving,
// closing and reopening, the layout on resizing, printing and the dialogs seam.
#include "basket/basket.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "basket/basket_layout.h"
#include "basket/basket_print.h"
#include "basket/dialogs.h"
#include "basket/frmEd.h"
#include "basket_db.h"
#include "ui/twips.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/twips_layout.h"

using basket_test::BasketDb;
using testsupport::ScriptedMessages;
using namespace basket_cmp;

namespace {

const QString kRebar = QStringLiteral("Арматура А500С ф12 11,7 м");

// Counts the refreshes of the catalogue's basket pictures.
class CountingIndicator final : public Global::BasketIndicator {
public:
    void setBasketIndicator(bool full, const QString& caption) override {
        ++calls;
        lastFull = full;
        lastCaption = caption;
    }
    int calls = 0;
    bool lastFull = false;
    QString lastCaption;
};

class BasketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        savedSort_ = basket::sortAscending();
        basket::setSortAscending(false);
        db_.fillCatalogue();
    }
    void TearDown() override {
        window_.reset();
        basket::setSortAscending(savedSort_);
        ui::setLogicalDpiForTests(0);
    }

    // The usual order: 4 t of rebar, 2.5 t of angle, 1 t of tube.
    void threeLines() {
        BasketDb::addLine(100, 4, QStringLiteral("резать по 6 м"));
        BasketDb::addLine(101, 2.5);
        BasketDb::addLine(102, 1);
    }

    basket& open() {
        window_ = std::make_unique<basket>();
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    ui::GridModel& grid() { return window_->gbasket->model(); }
    QPoint cellCentre(int row, int col) { return window_->gbasket->cellRect(row, col).center(); }
    void press(int row, int col) {
        QTest::mousePress(window_->gbasket->viewport(), Qt::LeftButton, {}, cellCentre(row, col));
        QTest::mouseRelease(window_->gbasket->viewport(), Qt::LeftButton, {}, cellCentre(row, col));
    }
    void doubleClick(int row, int col) {
        QTest::mouseDClick(window_->gbasket->viewport(), Qt::LeftButton, {}, cellCentre(row, col));
    }
    QStringList column(int col) {
        QStringList texts;
        for (int r = kFixedRows; r < grid().rows(); ++r) texts << grid().text(r, col);
        return texts;
    }
    int rowOfBase(int key) {
        for (int r = kFixedRows; r < grid().rows(); ++r) {
            if (grid().text(r, kKeyCol) == QString::number(key)) return r;
        }
        return -1;
    }
    // Types text key by key, as the keyboard would (QTest's own helpers know ASCII only).
    static void type(QWidget* w, const QString& text) {
        for (QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }

    BasketDb db_;
    ScriptedMessages messages_;
    std::unique_ptr<basket> window_;
    bool savedSort_ = false;
};

TEST_F(BasketTest, NewOrderOpensUnsavedWithStateNewAndPrintingOff) {
    threeLines();
    basket& w = open();
    EXPECT_EQ(w.windowTitle(), "Заявка");
    EXPECT_TRUE(w.isModal());
    EXPECT_EQ(w.Label3->text(), "№ заявки: не сохранена");
    EXPECT_EQ(w.oform->text(), "Оформить заявку");
    EXPECT_FALSE(w.Command2->isEnabled());
    EXPECT_EQ(w.Command2->text(), "Печать");
    EXPECT_EQ(w.Command1->text(), "Выбрать");
    EXPECT_EQ(w.Command3->text(), "Закрыть");
    ASSERT_EQ(w.cmbState->count(), 3);
    EXPECT_EQ(w.cmbState->itemText(0), "Новая");
    EXPECT_EQ(w.cmbState->itemText(1), "Отложена");
    EXPECT_EQ(w.cmbState->itemText(2), "Обработана");
    EXPECT_EQ(w.cmbState->currentIndex(), 0);
    const QList<QPair<QLabel*, const char*>> captions = {
        {w.Label4, "Клиент:"}, {w.Label6, "Контактное лицо:"}, {w.Label7, "Телефон:"},
        {w.Label8, "eMail:"},  {w.Label5, "КомПоЗаявке:"},     {w.Label15, "Реклама:"},
        {w.Label10, "Статус:"}};
    for (const auto& [label, text] : captions) {
        EXPECT_EQ(label->text(), QString::fromUtf8(text));
        // The whole caption fits its label.
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << text;
    }
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(BasketTest, StoredStateIsSelectedAndAStateOutsideTheListSelectsNothing) {
    struct Case {
        int state;
        int index;
        const char* text;
    } cases[] = {{1, 0, "Новая"}, {2, 1, "Отложена"}, {3, 2, "Обработана"}, {0, -1, ""}, {7, -1, ""}};
    for (const Case& c : cases) {
        clsZak& o = Global::CurrentOrder();
        o.norder = 12;
        o.state = c.state;
        basket& w = open();
        EXPECT_EQ(w.cmbState->currentIndex(), c.index) << c.state;
        EXPECT_EQ(w.cmbState->currentText(), QString::fromUtf8(c.text));
        EXPECT_TRUE(w.Command2->isEnabled());
        EXPECT_EQ(w.Label3->text(), "№ заявки: 12");
        EXPECT_EQ(w.oform->text(), "Сохранить изменения в заявке");
        w.Command3->click();
        // With nothing selected the stored state is left alone.
        EXPECT_EQ(o.state, c.state);
    }
}

TEST_F(BasketTest, GridShowsTheComparisonWithHiddenKeysAndFittedColumns) {
    threeLines();
    basket& w = open();
    const ui::GridModel& m = grid();
    const QList<QStringList> expected = w.comparison().gridTexts();
    ASSERT_EQ(m.rows(), expected.size());
    ASSERT_EQ(m.cols(), 8);
    for (int r = 0; r < m.rows(); ++r) EXPECT_EQ(m.rowTexts(r), expected[r]) << "row " << r;
    EXPECT_EQ(m.fixedRows(), 4);
    EXPECT_EQ(m.fixedCols(), 0);
    EXPECT_EQ(m.colWidth(kKeyCol), 0);
    EXPECT_EQ(m.rowHeight(kKeyRow), 0);
    EXPECT_EQ(column(kTotalCol), (QStringList{"428000", "424500", "", ""}));
    EXPECT_EQ(w.markedRow(), 0);

    // Every header text, measured bold, fits its column.
    QFont bold = w.gbasket->headerFont();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    for (int c = 1; c < m.cols(); ++c) {
        for (int r = 1; r < kFixedRows; ++r)
            EXPECT_LE(ui::pxToTwips(fm.horizontalAdvance(m.text(r, c))), m.colWidth(c)) << r << "," << c;
        EXPECT_EQ(m.fixedAlignment(c), Qt::AlignLeft | Qt::AlignVCenter);
    }
}

// What the operator sees on opening a saved three-line order: every caption, every
// column's texts and the totals in view. ZELVORIN_BASKET_PNG=file saves a picture.
TEST_F(BasketTest, SavedOrderOpensReadable) {
    threeLines();
    clsZak& o = Global::CurrentOrder();
    o.contr = QStringLiteral("ООО «СтройМонтаж-Урал»");
    o.contact_face = QStringLiteral("Кузнецова Ольга");
    o.contact_face_tel = QStringLiteral("+7 343 210-45-67");
    o.contact_face_mail = QStringLiteral("snab@stroymontazh.example");
    o.Comment = QStringLiteral("доставка до 15.04");
    o.rekl = QStringLiteral("Сайт");
    o.state = 2;
    o.SaveOrder();
    basket& w = open();
    press(5, 3);
    if (const QByteArray out = qgetenv("ZELVORIN_BASKET_PNG"); !out.isEmpty())
        w.grab().save(QString::fromLocal8Bit(out));

    EXPECT_EQ(w.Label3->text(), "№ заявки: 1");
    EXPECT_EQ(w.cmbState->currentText(), "Отложена");
    for (QLabel* l : w.findChildren<QLabel*>()) {
        if (l->isVisible()) {
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
        }
    }
    for (QPushButton* b : w.findChildren<QPushButton*>())
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << b->text().toStdString();
    // Every text fits its column (header rows bold), and the totals are in view.
    QFont bold = w.gbasket->headerFont();
    bold.setBold(true);
    const QFontMetrics boldFm(bold), plainFm(w.gbasket->font());
    const ui::GridModel& m = grid();
    for (int c = 1; c < m.cols(); ++c) {
        for (int r = 1; r < m.rows(); ++r) {
            const QFontMetrics& fm = r < kFixedRows ? boldFm : plainFm;
            EXPECT_LE(fm.horizontalAdvance(m.text(r, c)), w.gbasket->cellRect(r, c).width()) << r << "," << c;
        }
    }
    for (int r = kFixedRows; r < m.rows(); ++r) EXPECT_FALSE(w.gbasket->cellRect(r, kTotalCol).isEmpty());
}

TEST_F(BasketTest, EmptyBasketShowsTheHeaderOnly) {
    basket& w = open();
    EXPECT_EQ(grid().cols(), 5);
    ASSERT_EQ(grid().rows(), 5);
    EXPECT_EQ(grid().rowHeight(4), 0);
    // Sorting and pressing find no base row and leave the placeholder hidden.
    doubleClick(3, 3);
    press(3, 2);
    EXPECT_EQ(grid().rows(), 5);
    EXPECT_EQ(grid().rowHeight(4), 0);
    EXPECT_FALSE(grid().cellBackColor(4, 1).has_value());
    EXPECT_EQ(w.comparison().columnCount(), 5);
}

TEST_F(BasketTest, HeaderDoubleClickSortsDescendingFirstThenAlternatesAcrossWindows) {
    threeLines();
    open();
    doubleClick(kCaptionRow, kTotalCol);
    EXPECT_EQ(column(kTotalCol), (QStringList{"428000", "424500", "", ""}));
    EXPECT_EQ(column(kBaseCol).mid(0, 2), (QStringList{"СтальСнаб", "Металлобаза Север"}));
    EXPECT_TRUE(basket::sortAscending());
    // The prices moved with their bases.
    EXPECT_EQ(grid().text(kFixedRows, 5), "51500");

    // Another column, same alternation: this time ascending.
    doubleClick(kCaptionRow, 6);
    EXPECT_EQ(column(6), (QStringList{"59500", "60000", "61000", "62000"}));
    EXPECT_FALSE(basket::sortAscending());

    // Closed and reopened: the direction goes on where it stopped.
    window_->close();
    open();
    doubleClick(kCaptionRow, 6);
    EXPECT_EQ(column(6), (QStringList{"62000", "61000", "60000", "59500"}));
    EXPECT_TRUE(basket::sortAscending());
}

TEST_F(BasketTest, DoubleClickOnALineOpensTheEditorAndRebuilds) {
    threeLines();
    open();
    const int base4 = rowOfBase(4);
    EXPECT_EQ(grid().text(base4, 5), "");  // rebar from 5 t only
    bool onAdd = true;
    QTimer::singleShot(0, [&] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        onAdd = ed->onAdd;
        EXPECT_EQ(ed->qty->text(), "4");
        EXPECT_EQ(ed->prim->text(), "резать по 6 м");
        ed->qty->setText(QStringLiteral("10"));
        ed->Command1->click();
    });
    doubleClick(kNameRow, 5);
    EXPECT_FALSE(onAdd);
    EXPECT_EQ(grid().text(kCaptionRow, 5), "10");
    EXPECT_EQ(grid().text(rowOfBase(4), 5), "48000");
    EXPECT_EQ(window_->markedRow(), 0);

    // Cancelled from the basket: the line stays, the table is rebuilt all the same.
    QTimer::singleShot(0, [&] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        ed->Command2->click();
    });
    doubleClick(kGroupRow, 6);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 3);
    EXPECT_EQ(grid().cols(), 8);
}

TEST_F(BasketTest, DoubleClickOpensTheLineOfTheColumnWhenAPositionIsOrderedTwice) {
    BasketDb::addLine(101, 2);
    BasketDb::addLine(101, 3);
    open();
    const int col = grid().text(kCaptionRow, 5) == "3" ? 5 : 6;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        shown = ed->qty->text();
        ed->Command2->click();
    });
    doubleClick(kNameRow, col);
    EXPECT_EQ(shown, "3");
}

TEST_F(BasketTest, OtherDoubleClicksDoNothing) {
    threeLines();
    open();
    const QList<QStringList> before = window_->comparison().gridTexts();
    for (QPoint cell : {QPoint(2, 3), QPoint(1, 4), QPoint(5, 5), QPoint(6, 2)}) {
        bool editorOpened = false;
        QTimer::singleShot(0, [&] {
            if (auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget())) {
                editorOpened = true;
                ed->close();
            }
        });
        doubleClick(cell.x(), cell.y());
        QApplication::processEvents();
        EXPECT_FALSE(editorOpened) << cell.x() << "," << cell.y();
    }
    for (int r = 0; r < grid().rows(); ++r) EXPECT_EQ(grid().rowTexts(r), before[r]);
}

TEST_F(BasketTest, PressHighlightsOneRowAtATime) {
    threeLines();
    basket& w = open();
    const QColor mark = ui::bgr(basket::kMarkColour);
    auto marked = [&](int row) {
        for (int c = 1; c < grid().cols(); ++c) {
            if (grid().cellBackColor(row, c) != mark) return false;
        }
        return true;
    };
    auto plain = [&](int row) {
        for (int c = 0; c < grid().cols(); ++c) {
            if (grid().cellBackColor(row, c).has_value()) return false;
        }
        return true;
    };

    press(5, 3);
    EXPECT_TRUE(marked(5));
    EXPECT_EQ(w.markedRow(), 5);
    EXPECT_EQ(grid().row(), 5);
    EXPECT_FALSE(grid().cellBackColor(5, 0).has_value());  // the hidden key column is left alone

    press(6, 2);
    EXPECT_TRUE(plain(5));
    EXPECT_TRUE(marked(6));

    press(6, 4);
    EXPECT_TRUE(marked(6));
    EXPECT_EQ(w.markedRow(), 6);

    // A header row restores the highlighted row and marks none.
    press(2, 5);
    EXPECT_TRUE(plain(6));
    EXPECT_EQ(w.markedRow(), 2);
    for (int r = kFixedRows; r < grid().rows(); ++r) EXPECT_TRUE(plain(r)) << r;
}

TEST_F(BasketTest, HighlightFollowsItsRowThroughASort) {
    threeLines();
    basket& w = open();
    press(4, 3);                         // СтальСнаб, the dearest complete offer
    doubleClick(kCaptionRow, kCityCol);  // descending by city: СтальСнаб (Екатеринбург) goes last
    const int moved = grid().rows() - 1;
    EXPECT_EQ(grid().text(moved, kBaseCol), "СтальСнаб");
    EXPECT_EQ(w.markedRow(), moved);
    press(4, 3);
    int highlighted = 0;
    for (int r = kFixedRows; r < grid().rows(); ++r)
        highlighted += grid().cellBackColor(r, 1).has_value() ? 1 : 0;
    EXPECT_EQ(highlighted, 1);
}

TEST_F(BasketTest, ScrollingSelectsTheWholeCurrentRow) {
    threeLines();
    basket& w = open();
    press(5, 6);
    w.gbasket_Scroll();
    EXPECT_EQ(grid().col(), 0);
    EXPECT_EQ(grid().colSel(), grid().cols() - 1);
    EXPECT_EQ(grid().row(), 5);
}

TEST_F(BasketTest, DeleteRemovesTheLineWhoseColumnIsPointedAt) {
    threeLines();
    CountingIndicator indicator;
    Global::registerBasketIndicator(&indicator);
    const int16_t wasOpen = Global::CatalogueOpen;
    Global::CatalogueOpen = -1;
    open();
    EXPECT_EQ(indicator.calls, 1);  // the window's load refreshes the pictures

    press(5, 5);  // a price of the rebar line
    messages_.answer(core::MsgAnswer::Yes);
    QTest::keyClick(window_->gbasket, Qt::Key_Delete);

    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(messages_.shown[0].text, "Вы уверены?");
    EXPECT_EQ(messages_.shown[0].title, "Удаление позиции " + kRebar);
    EXPECT_EQ(messages_.shown[0].buttons, core::MsgButtons::YesNo);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 2);
    EXPECT_FALSE(Global::CurrentOrder().FindIND(100));
    EXPECT_EQ(grid().cols(), 7);
    EXPECT_EQ(grid().text(kKeyRow, 5), "101");
    EXPECT_EQ(indicator.calls, 2);
    EXPECT_EQ(indicator.lastCaption, "2");

    Global::CatalogueOpen = wasOpen;
    Global::registerBasketIndicator(nullptr);
}

TEST_F(BasketTest, DeleteAnsweredNoOrOnABaseCellRemovesNothing) {
    threeLines();
    open();
    press(5, 6);
    messages_.answer(core::MsgAnswer::No);
    QTest::keyClick(window_->gbasket, Qt::Key_Delete);
    EXPECT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 3);

    for (int col : {1, 2, 3, 4}) {
        press(5, col);
        QTest::keyClick(window_->gbasket, Qt::Key_Delete);
    }
    EXPECT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 3);
    EXPECT_EQ(grid().cols(), 8);
}

TEST_F(BasketTest, DeleteOnTheSecondOfTwoLinesOfAPositionRemovesThatOne) {
    BasketDb::addLine(101, 2);
    BasketDb::addLine(101, 3);
    open();
    const int col = grid().text(kCaptionRow, 5) == "3" ? 5 : 6;
    press(kNameRow, col);
    QTest::keyClick(window_->gbasket, Qt::Key_Delete);
    clsZak& o = Global::CurrentOrder();
    ASSERT_EQ(o.RecordCount(), 1);
    o.MoveFirst();
    EXPECT_EQ(o.Field("pos").toInt32(), 0);
    EXPECT_DOUBLE_EQ(o.Field("qty").toDouble(), 2);
}

TEST_F(BasketTest, SavingANewOrderNumbersItAndKeepsTheWindowOpen) {
    threeLines();
    basket& w = open();
    w.namek->setText(QStringLiteral("ООО «Стройка»"));
    w.kl->setEditText(QStringLiteral("Петров И. С."));
    w.kt->setEditText(QStringLiteral("+7 343 555-12-12"));
    w.email->setText(QStringLiteral("zakaz@stroyka.example"));
    w.Comment->setText(QStringLiteral("самовывоз"));
    w.cmbRekl->setEditText(QStringLiteral("выставка"));
    w.cmbState->setCurrentIndex(1);
    w.oform->click();

    EXPECT_TRUE(messages_.shown.isEmpty()) << messages_.texts().join("; ").toStdString();
    const clsZak& o = Global::CurrentOrder();
    EXPECT_EQ(o.norder, 1);
    EXPECT_EQ(w.Label3->text(), "№ заявки: 1");
    EXPECT_EQ(w.oform->text(), "Сохранить изменения в заявке");
    EXPECT_FALSE(w.Command2->isEnabled());  // decided when the window opened
    EXPECT_TRUE(w.isVisible());

    auto rs = db_.store().open(QStringLiteral("SELECT * FROM TBL_APPS"));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field("IND").toInt32(), 1);
    EXPECT_EQ(rs->field("IND_STT").toInt32(), 2);
    EXPECT_EQ(rs->field("CGT_NM").toText(), "ООО «Стройка»");
    EXPECT_EQ(rs->field("CNT_NM").toText(), "Петров И. С.");
    EXPECT_EQ(rs->field("TLP").toText(), "+7 343 555-12-12");
    EXPECT_EQ(rs->field("ML").toText(), "zakaz@stroyka.example");
    EXPECT_EQ(rs->field("CMT").toText(), "самовывоз");
    EXPECT_EQ(rs->field("ADVT").toText(), "выставка");
    rs = db_.store().open(QStringLiteral("SELECT COUNT(*) AS N, SUM(VL) AS Q FROM TBL_APTS WHERE IND_APP=1"));
    EXPECT_EQ(rs->field("N").toInt32(), 3);
    EXPECT_DOUBLE_EQ(rs->field("Q").toDouble(), 7.5);

    // Saved again: the same number, no second order.
    w.oform->click();
    rs = db_.store().open(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_APPS"));
    EXPECT_EQ(rs->field("N").toInt32(), 1);
}

TEST_F(BasketTest, AFailedSaveIsReportedAndTheOrderCanBeSavedAgain) {
    threeLines();
    basket& w = open();
    w.namek->setText(QStringLiteral("ИП Сидоров"));
    db_.recorder().failPrefix(QStringLiteral("INSERT INTO TBL_APPS"), QStringLiteral("Нет места на диске"));
    w.oform->click();

    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_TRUE(messages_.shown[0].text.contains("Нет места на диске"))
        << messages_.shown[0].text.toStdString();
    EXPECT_EQ(messages_.shown[0].title, "Заявка");
    EXPECT_EQ(Global::CurrentOrder().norder, 0);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 3);
    EXPECT_EQ(w.Label3->text(), "№ заявки: не сохранена");

    w.oform->click();
    EXPECT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(Global::CurrentOrder().norder, 1);
    EXPECT_EQ(w.Label3->text(), "№ заявки: 1");
    auto rs = db_.store().open(QStringLiteral("SELECT CGT_NM FROM TBL_APPS WHERE IND=1"));
    EXPECT_EQ(rs->field("CGT_NM").toText(), "ИП Сидоров");
}

TEST_F(BasketTest, AdvertisingSourceIsRequiredOnlyForTheTwoTakenStates) {
    struct Case {
        const char* state;
        const char* rekl;
        bool refused;
    } cases[] = {
        {"Оставлена за мной", "", true},   {"Закрыта мной", "  ", true},
        {"Закрыта мной", "газета", false}, {"Новая", "", false},
        {"Отложена", "", false},           {"Обработана", "", false},
    };
    for (const Case& c : cases) {
        ScriptedMessages messages;
        Global::CurrentOrder().norder = 0;
        Global::CurrentOrder().rekl = QString::fromUtf8(c.rekl);
        basket& w = open();
        w.cmbState->setEditText(QString::fromUtf8(c.state));  // as pasted into the edit field
        w.oform->click();
        if (c.refused) {
            ASSERT_EQ(messages.shown.size(), 1) << c.state;
            EXPECT_EQ(messages.shown[0].text, "Необходима информация об источнике сведений.");
            EXPECT_EQ(messages.shown[0].title, "Реклама");
            EXPECT_EQ(Global::CurrentOrder().norder, 0);
        } else {
            EXPECT_TRUE(messages.shown.isEmpty()) << c.state;
            EXPECT_NE(Global::CurrentOrder().norder, 0) << c.state;
        }
        w.close();
    }
}

TEST_F(BasketTest, ClosingKeepsTheHeaderEditsForTheNextOpening) {
    threeLines();
    for (int how = 0; how < 3; ++how) {  // the button, the close box, Esc
        basket& w = open();
        const QString client = QStringLiteral("Клиент %1").arg(how);
        w.namek->setText(client);
        w.kl->setEditText(QStringLiteral("Иванова"));
        w.Comment->setText(QStringLiteral(" срочно "));
        w.cmbState->setCurrentIndex(2);
        if (how == 0)
            w.Command3->click();
        else if (how == 1)
            w.close();
        else
            QTest::keyClick(&w, Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
        const clsZak& o = Global::CurrentOrder();
        EXPECT_EQ(o.contr, client);
        EXPECT_EQ(o.contact_face, "Иванова");
        EXPECT_EQ(o.Comment, " срочно ");  // nothing is trimmed
        EXPECT_EQ(o.state, 3);
        EXPECT_EQ(o.norder, 0);  // closing does not save

        basket& again = open();
        EXPECT_EQ(again.namek->text(), client);
        EXPECT_EQ(again.kl->currentText(), "Иванова");
        EXPECT_EQ(again.Comment->text(), " срочно ");
        again.close();
    }
    auto rs = db_.store().open(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_APPS"));
    EXPECT_EQ(rs->field("N").toInt32(), 0);
}

TEST_F(BasketTest, TypingRulesOfTheHeaderFields) {
    clsZak& o = Global::CurrentOrder();
    o.contr = QStringLiteral("ООО Альфа");
    o.contr_id = QStringLiteral("A-17");
    o.contr_code = QStringLiteral("0017");
    o.contact_face = QStringLiteral("Петров");
    o.contact_face_tel = QStringLiteral("123");
    o.rekl = QStringLiteral("интернет");
    basket& w = open();

    // The state and the advertising source change only by choosing from a list.
    type(w.cmbRekl, QStringLiteral("абв"));
    QTest::keyClick(w.cmbRekl, Qt::Key_Backspace);
    EXPECT_EQ(w.cmbRekl->currentText(), "интернет");
    type(w.cmbState, QStringLiteral("Оставлена"));
    QTest::keyClick(w.cmbState, Qt::Key_Backspace);
    EXPECT_EQ(w.cmbState->currentText(), "Новая");

    // The contact and the telephone can only be shortened.
    w.kl->lineEdit()->end(false);
    type(w.kl, QStringLiteral("ов"));
    EXPECT_EQ(w.kl->currentText(), "Петров");
    QTest::keyClick(w.kl, Qt::Key_Backspace);
    EXPECT_EQ(w.kl->currentText(), "Петро");
    w.kt->lineEdit()->end(false);
    type(w.kt, QStringLiteral("45"));
    QTest::keyClick(w.kt, Qt::Key_Backspace);
    EXPECT_EQ(w.kt->currentText(), "12");

    // Moving about in the client's name keeps its client record...
    QTest::keyClick(w.namek, Qt::Key_Left);
    QTest::keyClick(w.namek, Qt::Key_Tab);
    EXPECT_EQ(o.contr_id, "A-17");
    // ...a typed key drops it even when the text ends up the same.
    w.namek->end(false);
    QTest::keyClick(w.namek, Qt::Key_Delete);
    EXPECT_EQ(w.namek->text(), "ООО Альфа");
    EXPECT_EQ(o.contr_id, "");
    EXPECT_EQ(o.contr_code, "");
}

TEST_F(BasketTest, LayoutFollowsTheWindowDownToItsMinimum) {
    threeLines();
    basket& w = open();
    using basket_layout::kFrameHeight;
    using basket_layout::kFrameWidth;
    struct Case {
        int outerW, outerH;  // asked for
        int gridW, gridH, buttonsTop, closeLeft;
    } cases[] = {
        {6000, 4000, 8685, 3200, 5100, 7900},  // snapped to 9000 x 6000
        {12000, 8000, 11685, 5200, 7100, 10900},
        {9000, 6000, 8685, 3200, 5100, 7900},
    };
    const int px = 15;  // one pixel at 96 dpi: sizes pass through whole pixels
    for (const Case& c : cases) {
        w.resize(ui::twipsToPx(c.outerW - kFrameWidth), ui::twipsToPx(c.outerH - kFrameHeight));
        QApplication::processEvents();
        EXPECT_GE(ui::widthTwips(w) + kFrameWidth, 9000 - px);
        EXPECT_NEAR(ui::widthTwips(*w.gbasket), c.gridW, px) << c.outerW;
        EXPECT_NEAR(ui::heightTwips(*w.gbasket), c.gridH, px) << c.outerH;
        for (QWidget* b : {static_cast<QWidget*>(w.oform), static_cast<QWidget*>(w.Command2),
                           static_cast<QWidget*>(w.Command3)})
            EXPECT_NEAR(ui::topTwips(*b), c.buttonsTop, px);
        EXPECT_NEAR(ui::leftTwips(*w.Command3), c.closeLeft, px);
        // Nothing overlaps: the grid ends above the buttons, the buttons inside the window.
        EXPECT_LT(w.gbasket->geometry().bottom(), w.oform->y());
        EXPECT_LE(w.Command3->geometry().right(), w.width());
        EXPECT_LE(w.oform->geometry().bottom(), w.height());
        EXPECT_LT(w.Command2->geometry().right(), w.Command3->x());
        if (const QByteArray out = qgetenv("ZELVORIN_BASKET_MIN_PNG"); !out.isEmpty() && c.outerW == 6000)
            w.grab().save(QString::fromLocal8Bit(out));
    }

    const QRect before = w.gbasket->geometry();
    w.showMinimized();
    QApplication::processEvents();
    w.showNormal();
    QApplication::processEvents();
    EXPECT_EQ(w.gbasket->geometry(), before);
}

TEST_F(BasketTest, PrintingASavedOrderHandsTheWholeOrderToThePrinter) {
    threeLines();
    clsZak& o = Global::CurrentOrder();
    o.contr = QStringLiteral("ООО «Стройка»");
    o.contact_face = QStringLiteral("Петров");
    o.state = 2;
    o.SaveOrder();
    basket& w = open();
    ASSERT_TRUE(w.Command2->isEnabled());
    w.kt->setEditText(QStringLiteral("+7 912 000-00-00"));  // shown, not yet saved

    std::optional<basket_print::PrintedOrder> printed;
    const basket_print::PrintRunner previous =
        basket_print::setPrintRunner([&](const basket_print::PrintedOrder& p, QWidget*) { printed = p; });
    w.Command2->click();
    basket_print::setPrintRunner(previous);

    ASSERT_TRUE(printed.has_value());
    if (const QByteArray out = qgetenv("ZELVORIN_PRINT_PNG"); !out.isEmpty()) {
        const std::unique_ptr<QTextDocument> doc = basket_print::orderDocument(*printed);
        doc->setTextWidth(760);
        QImage img(800, static_cast<int>(doc->size().height()) + 40, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter painter(&img);
        painter.translate(20, 20);
        doc->drawContents(&painter);
        painter.end();
        img.save(QString::fromLocal8Bit(out));
    }
    EXPECT_EQ(printed->number, 1);
    EXPECT_EQ(printed->client, "ООО «Стройка»");
    EXPECT_EQ(printed->contact, "Петров");
    EXPECT_EQ(printed->state, "Отложена");
    EXPECT_EQ(printed->phone, "+7 912 000-00-00");
    ASSERT_EQ(printed->lines.size(), 3);
    EXPECT_EQ(printed->lines[0].name, kRebar);
    EXPECT_EQ(printed->lines[0].qty, "4");
    EXPECT_EQ(printed->lines[0].note, "резать по 6 м");
    EXPECT_EQ(printed->lines[1].qty, "2.5");
    ASSERT_EQ(printed->tableRows.size(), 4);
    EXPECT_EQ(printed->tableRows[0],
              (QStringList{"Екатеринбург", "СтальСнаб", "428000", "51500", "60000", "72000"}));
    EXPECT_EQ(printed->tableHeader.size(), 6);
}

TEST_F(BasketTest, AComparisonThatCannotBeBuiltLeavesTheHeaderUsable) {
    threeLines();
    db_.recorder().failPrefix(QStringLiteral("SELECT DISTINCT e.IND"),
                              QStringLiteral("файл TBL_BSS повреждён"));
    Global::CurrentOrder().contr = QStringLiteral("ООО Бета");
    basket& w = open();
    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_TRUE(messages_.shown[0].text.startsWith("Не удалось построить сравнение предложений: "));
    EXPECT_TRUE(messages_.shown[0].text.contains("TBL_BSS"));
    EXPECT_EQ(grid().cols(), 5);
    EXPECT_EQ(w.namek->text(), "ООО Бета");
    w.oform->click();
    EXPECT_EQ(Global::CurrentOrder().norder, 1);
}

TEST_F(BasketTest, TheDialogsSeamOpensTheBasketModally) {
    threeLines();
    const Global::Dialogs previous = Global::dialogs();
    basket_dialogs::registerDialogs();
    ASSERT_TRUE(Global::dialogs().showBasket);
    ASSERT_TRUE(Global::dialogs().showLineEditor);

    QString title;
    int columns = 0;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<basket*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        title = w->windowTitle();
        columns = w->gbasket->model().cols();
        w->namek->setText(QStringLiteral("через шов"));
        w->Command3->click();
    });
    Global::dialogs().showBasket();
    Global::dialogs() = previous;

    EXPECT_EQ(title, "Заявка");
    EXPECT_EQ(columns, 8);
    EXPECT_EQ(Global::CurrentOrder().contr, "через шов");
}

TEST(BasketPrint, WritesAPdfOfTheOrder) {
    basket_print::PrintedOrder p;
    p.number = 4217;
    p.date = QStringLiteral("12.03.2024");
    p.client = QStringLiteral("ООО «Стройка» & Ко");
    p.lines.append({QStringLiteral("Арматура"), kRebar, QStringLiteral("4"), QStringLiteral("резать <6 м>")});
    p.tableHeader << "Город"
                  << "Поставщик"
                  << "Итого" << kRebar;
    p.tableRows.append({"Москва", "Север", "202000", "50500"});

    const QString html = basket_print::orderHtml(p);
    EXPECT_TRUE(html.contains("Заявка № 4217"));
    EXPECT_TRUE(html.contains("12.03.2024"));
    EXPECT_TRUE(html.contains("ООО «Стройка» &amp; Ко"));  // escaped, not markup
    EXPECT_TRUE(html.contains("резать &lt;6 м&gt;"));
    EXPECT_TRUE(html.contains("202000"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("order.pdf");
    QString error;
    ASSERT_TRUE(basket_print::writeOrderPdf(p, path, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_GT(pdf.size(), 1000);
    // The document's title carries the number (written as UTF-16 in the PDF's info).
    const QString title = QStringLiteral("Заявка № 4217");
    QByteArray utf16("\xFE\xFF", 2);
    for (QChar ch : title) {
        utf16.append(char(ch.unicode() >> 8));
        utf16.append(char(ch.unicode() & 0xFF));
    }
    EXPECT_TRUE(pdf.contains(utf16) || pdf.contains(utf16.toHex().toUpper()) || pdf.contains(utf16.toHex()));
}

}  // namespace

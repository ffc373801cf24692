// The basket window on a three-line order over real table files, driven by real mouse
// and key events: loading, the comparison grid, the header's typing rules, saving,
// printing, closing and reopening.
#include "basket/basket.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QToolTip>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "basket/basket_print.h"
#include "basket/frmEd.h"
#include "basket_db.h"
#include "store/store_helpers.h"
#include "support/keys.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/twips.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

class BasketTest : public ::testing::Test, public Global::BasketIndicator {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        basket::setSortAscending(false);
        db_.fillCatalogue();
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }  // the window goes with the fixture
    void setBasketIndicator(bool, const QString& caption) override { captions_ << caption; }

    // 4 t of rebar with a note, 2.5 t of angle, 1 t of tube.
    static void threeLines() {
        BasketDb::addLine(100, 4, "резать по 6 м");
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
    QWidget* view() { return window_->gbasket->viewport(); }
    QPoint at(int r, int c) { return window_->gbasket->cellRect(r, c).center(); }
    void press(int r, int c) { QTest::mouseClick(view(), Qt::LeftButton, {}, at(r, c)); }
    void doubleClick(int r, int c) { QTest::mouseDClick(view(), Qt::LeftButton, {}, at(r, c)); }
    QStringList column(int col) {
        QStringList texts;
        for (int r = kFixedRows; r < grid().rows(); ++r) texts << grid().text(r, col);
        return texts;
    }
    // Rows whose cells in columns 1 and on carry the highlight 0xEBD6C2 (negative: some of them).
    QList<int> highlighted() {
        QList<int> rows;
        for (int r = 0; r < grid().rows(); ++r) {
            int n = 0;
            for (int c = kMarkCol; c < grid().cols(); ++c) n += grid().cellBackColor(r, c) == QColor(194, 214, 235);
            if (n > 0) rows << (n == grid().cols() - 1 ? r : -r);
        }
        return rows;
    }

    // Per base row: the base's name and the columns (4 and on) shown bold, or on the mark
    // colour when `back` is set.
    QStringList marks(bool back) {
        QStringList out;
        for (int r = kFixedRows; r < grid().rows(); ++r) {
            QString m = grid().text(r, kBaseCol) + ":";
            for (int c = kTotalCol; c < grid().cols(); ++c)
                if (back ? grid().cellBackColor(r, c) == QColor(0xCC, 0xF0, 0xCC) : grid().cellBold(r, c))
                    m += QString::number(c);
            out << m;
        }
        return out;
    }
    // Runs a Python script (json and sys imported) on a file with Debian's interpreter and
    // reads what it prints as JSON.
    static QJsonDocument python(const QString& script, const QString& file) {
        const auto p = storetest::run("/usr/bin/python3", {"-c", "import json,sys\n" + script, file});
        EXPECT_EQ(p.exitCode, 0) << p.err.toStdString();
        return QJsonDocument::fromJson(p.out.toUtf8());
    }
    // Exports through the window's file dialog into `path`; returns the name it proposed.
    QString exportTo(const QString& path) {
        QString proposed;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            proposed = QFileInfo(d->selectedFiles().value(0)).fileName();
            d->setDirectory(QFileInfo(path).absolutePath());
            d->selectFile(QFileInfo(path).fileName());
            static_cast<QDialog*>(d)->accept();  // QFileDialog makes its own accept() protected
        });
        window_->cmdExport->click();
        return proposed;
    }

    BasketDb db_;
    testsupport::ScriptedMessages messages_;
    std::unique_ptr<basket> window_;
    QStringList captions_;  // what the basket indicator was told
};

// An empty basket, new or saved with each state: number, state, printing and a grid of the
// header with its key row and column hidden and a hidden placeholder row. The button, the
// close box and Esc all keep the header edits, untrimmed, with the order, and a listed state
// only.
TEST_F(BasketTest, OpensWithTheOrdersNumberStateAndPrintingAsStoredAndClosingKeepsTheEdits) {
    const std::tuple<int, int, int, const char*> cases[] = {{0, 3, 0, "Новая"},     {12, 1, 0, "Новая"},
                                                            {12, 2, 1, "Отложена"}, {12, 3, 2, "Обработана"},
                                                            {12, 0, -1, ""},        {12, 7, -1, ""}};
    int how = 0;  // 0 the button, 1 the close box, 2 Esc
    for (const auto& [norder, state, index, text] : cases) {
        clsZak& o = Global::CurrentOrder();
        o.norder = norder;
        o.state = state;
        basket& w = open();
        EXPECT_EQ(QStringList({w.cmbState->currentText(), w.Label3->text(), w.oform->text().remove('&')}),
                  QStringList({text, norder ? "№ заявки: 12" : "№ заявки: не сохранена",
                               norder ? "Сохранить изменения в заявке" : "Оформить заявку"}));
        EXPECT_EQ(QList<int>({w.cmbState->currentIndex(), w.Command2->isEnabled(), grid().cols(), grid().rows(),
                        grid().colWidth(kKeyCol), grid().rowHeight(kKeyRow), grid().rowHeight(kFixedRows)}),
            QList<int>({index, norder != 0, 5, 5, 0, 0, 0}));
        const QStringList edits = {QStringLiteral("Клиент %1").arg(state), "Иванова", " срочно "};
        w.namek->setText(edits[0]);
        w.kl->setEditText(edits[1]);
        w.Comment->setText(edits[2]);
        if (how == 0) w.Command3->click();
        if (how == 1) w.close();
        if (how == 2) QTest::keyClick(&w, Qt::Key_Escape);
        how = (how + 1) % 3;
        EXPECT_EQ(QStringList({o.contr, o.contact_face, o.Comment}), edits) << state;
        EXPECT_EQ(o.state, index < 0 ? state : index + 1) << state;
    }
    EXPECT_EQ(db_.first("SELECT COUNT(*) AS N FROM TBL_APPS").toInt32(), 0);  // never saved
}

// A press highlights one row at a time, and a sort on the caption row takes the prices and
// the highlight along; the direction alternates and outlives the window. A double click on
// a line's caption edits that line; the Delete key removes the line whose column is pointed
// at (a base's own cells name none) after "Yes". Other cells do nothing.
TEST_F(BasketTest, GridHighlightsSortsEditsAndDeletesTheLineOfTheColumnPointedAt) {
    threeLines();
    Global::registerBasketIndicator(this);
    Global::CatalogueOpen = -1;
    open();
    const std::tuple<int, int, QList<int>> steps[] = {
        {5, 3, {5}}, {6, 2, {6}}, {6, 4, {6}}, {2, 5, {}}, {4, 3, {4}}};
    for (const auto& [row, col, rows] : steps) {  // a header row takes the highlight away
        press(row, col);
        EXPECT_EQ(highlighted(), rows) << row;
    }
    doubleClick(kCaptionRow, kCityCol);  // the first sort is descending: Екатеринбург goes last
    EXPECT_EQ(column(kBaseCol), (QStringList{"УралМет", "Металлобаза Север", "Электросталь", "СтальСнаб"}));
    EXPECT_EQ(highlighted(), QList<int>{7});
    press(4, kBaseCol);
    EXPECT_EQ(highlighted(), QList<int>{4});
    doubleClick(kCaptionRow, 6);  // another column, the next direction: ascending
    EXPECT_EQ(column(6), (QStringList{"59500", "60000", "61000", "62000"}));
    open();
    doubleClick(kCaptionRow, 6);
    EXPECT_EQ(column(6), (QStringList{"62000", "61000", "60000", "59500"}));

    QTimer::singleShot(0, [] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        EXPECT_EQ(ed->prim->text(), "резать по 6 м");
        ed->qty->setText("10");
        ed->Command1->click();
    });
    doubleClick(kNameRow, 5);
    // Rebuilt in the comparison's order; Электросталь sells rebar from 5 t.
    EXPECT_EQ(QStringList({grid().text(kCaptionRow, 5), grid().text(6, 5)}), QStringList({"10", "48000"}));
    for (QPoint cell : {QPoint(2, 3), QPoint(1, 4), QPoint(5, 5), QPoint(6, 2)}) {
        QTimer::singleShot(0, [cell] {
            if (auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget()))
                ADD_FAILURE() << cell.x() << "," << cell.y() << ed->close();
        });
        doubleClick(cell.x(), cell.y());
        QApplication::processEvents();
    }

    messages_.answer(core::MsgAnswer::No);
    for (int col : {1, 2, 3, 4, 5}) {
        press(5, col);
        QTest::keyClick(window_->gbasket, Qt::Key_Delete);
    }
    QTest::keyClick(window_->gbasket, Qt::Key_Delete);
    EXPECT_EQ(QStringList({messages_.texts().value(1), messages_.shown.value(1).title}),
              QStringList({"Вы уверены?", "Удаление позиции Арматура А500С ф12 11,7 м"}));
    EXPECT_EQ(grid().rowTexts(kKeyRow), (QStringList{"", "", "", "", "", "101", "102"}));
    EXPECT_EQ(captions_, (QStringList{"3", "3", "2"}));  // each load refreshes the indicator too
    Global::registerBasketIndicator(nullptr);
}

// A taken state needs a source; a failed save leaves the order unnumbered and can be repeated;
// saving again keeps the number. The print-out shows the header as the window shows it, and a
// comparison that cannot be built leaves the header usable.
TEST_F(BasketTest, SavingNumbersTheOrderOncePrintsItAndSurvivesAFailedComparison) {
    threeLines();
    basket& w = open();
    w.namek->setText("ООО «Стройка» & Ко");
    w.kt->setEditText("+7 343 555-12-12");
    w.Comment->setText(" самовывоз ");
    w.cmbState->setEditText("Закрыта мной");  // pasted
    w.cmbRekl->setEditText("  ");
    w.oform->click();
    EXPECT_EQ(QStringList({messages_.texts().value(0), messages_.shown.value(0).title}),
              QStringList({"Необходима информация об источнике сведений.", "Реклама"}));
    w.cmbRekl->setEditText("выставка");
    w.cmbState->setCurrentIndex(1);
    db_.recorder().failPrefix("INSERT INTO TBL_APPS", "Нет места на диске");
    w.oform->click();
    EXPECT_EQ(messages_.texts().value(1), "Заявка не сохранена: Нет места на диске");
    EXPECT_EQ(w.Label3->text(), "№ заявки: не сохранена");
    for (int i = 0; i < 2; ++i) w.oform->click();
    EXPECT_EQ(QStringList({w.Label3->text(), w.oform->text().remove('&')}),
              QStringList({"№ заявки: 1", "Сохранить изменения в заявке"}));
    auto rs = Global::Cn().open("SELECT * FROM TBL_APPS");
    QStringList stored;
    for (const char* f : {"IND", "IND_STT", "CGT_NM", "TLP", "CMT", "ADVT"}) stored << rs->field(f).toText();
    EXPECT_EQ(stored, (QStringList{"1", "2", "ООО «Стройка» & Ко", "+7 343 555-12-12", " самовывоз", "выставка"}));

    open().kt->setEditText("+7 912 000-00-00");  // shown, not yet saved
    basket_print::PrintedOrder p;  // the number stays 0 if nothing is printed
    const basket_print::PrintRunner previous = basket_print::setPrintRunner(
        [&](const basket_print::PrintedOrder& printed, QWidget*) { p = printed; });
    window_->Command2->click();
    basket_print::setPrintRunner(previous);
    EXPECT_EQ(QStringList({QString::number(p.number), p.client, p.state, p.phone}),
              QStringList({"1", "ООО «Стройка» & Ко", "Отложена", "+7 912 000-00-00"}));
    EXPECT_EQ(QStringList({p.lines.value(0).name, p.lines.value(0).qty, p.lines.value(0).note, p.lines.value(2).qty}),
              QStringList({"Арматура А500С ф12 11,7 м", "4", "резать по 6 м", "1"}));
    EXPECT_EQ(p.tableRows.value(0), (QStringList{"Екатеринбург", "СтальСнаб", "428000", "51500", "60000", "72000"}));
    EXPECT_TRUE(basket_print::orderHtml(p).contains("ООО «Стройка» &amp; Ко"));  // escaped, not markup

    messages_.shown.clear();
    db_.recorder().failPrefix("SELECT DISTINCT e.IND", "файл TBL_BSS повреждён");
    open().Comment->setText("после сбоя");
    window_->oform->click();
    EXPECT_EQ(messages_.texts(), QStringList{"Не удалось построить сравнение предложений: файл TBL_BSS повреждён"});
    EXPECT_EQ(QList<int>({grid().cols(), grid().rows()}), QList<int>({5, 5}));
    EXPECT_EQ(db_.first("SELECT CMT AS N FROM TBL_APPS").toText(), "после сбоя");
}

// The state and the advertising source change only by choosing from a list; the contact
// and the telephone can only be shortened. Keys are typed one by one, as the keyboard
// would (QTest's own helpers know ASCII only).
TEST_F(BasketTest, TypingRulesOfTheHeaderFields) {
    clsZak& o = Global::CurrentOrder();
    o.contr = "ООО Альфа";
    o.contr_id = o.contr_code = "0017";
    o.contact_face = "Петров";
    o.contact_face_tel = "123";
    o.rekl = "интернет";
    basket& w = open();
    const std::tuple<QComboBox*, QString, QString> cases[] = {{w.cmbRekl, "абв", "интернет"},
                                                              {w.cmbState, "Оставлена", "Новая"},
                                                              {w.kl, "ов", "Петро"},
                                                              {w.kt, "45", "12"}};
    for (const auto& [box, typed, after] : cases) {
        box->lineEdit()->end(false);
        for (QChar ch : typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(box, &press);
        }
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_EQ(box->currentText(), after);
    }
    // Moving about in the client's name keeps its client record; a typed key drops it
    // even when the text ends up the same.
    QTest::keyClick(w.namek, Qt::Key_Left);
    QTest::keyClick(w.namek, Qt::Key_Tab);
    EXPECT_EQ(o.contr_id, "0017");
    w.namek->end(false);
    QTest::keyClick(w.namek, Qt::Key_Delete);
    EXPECT_EQ(w.namek->text() + o.contr_id + o.contr_code, "ООО Альфа");
}

// Without a mouse: Tab walks the header in reading order, then the grid and the buttons; a
// caption's letter reaches its field; the arrows move the highlight, Enter on a line's column
// edits that line, and Ctrl+S saves.
TEST_F(BasketTest, KeyboardWalksTheHeaderEditsTheLinePointedAtAndSavesWithCtrlS) {
    threeLines();
    basket& w = open();
    EXPECT_EQ(testsupport::mnemonicFaults(w), QStringList{});
    EXPECT_EQ(testsupport::focusedName(), "namek");
    w.cmbState->setFocus();
    QStringList walked;
    for (int i = 0; i < 12; ++i) {
        walked << testsupport::focusedName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(walked, (QStringList{"cmbState", "namek", "Command1", "kl", "kt", "email", "cmbRekl", "Comment",
                                   "gbasket", "oform", "cmdExport", "Command3"}));  // printing is off
    QTest::sendKeyEvent(QTest::Click, &w, Qt::Key(0x0422), "Т", Qt::AltModifier);  // "&Телефон:"
    EXPECT_EQ(testsupport::focusedName(), "kt");
    w.gbasket->setFocus();
    QTest::keyClick(w.gbasket, Qt::Key_Down);
    EXPECT_EQ(highlighted(), QList<int>{5});
    QTest::keyClick(w.gbasket, Qt::Key_End);
    QTimer::singleShot(0, [] {
        auto* ed = qobject_cast<frmEd*>(QApplication::activeModalWidget());
        ASSERT_NE(ed, nullptr);
        ed->qty->setText("3");
        QTest::keyClick(ed->qty, Qt::Key_Return);
    });
    QTest::keyClick(w.gbasket, Qt::Key_Return);
    EXPECT_EQ(grid().rowTexts(kCaptionRow).mid(kTotalCol), (QStringList{"Итого\\Заказ", "4", "2.5", "3"}));
    w.namek->setText("ООО Клавиша");
    w.activateWindow();  // given back by the window system once the editor is gone
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(w.gbasket, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(db_.first("SELECT CGT_NM AS N FROM TBL_APPS").toText(), "ООО Клавиша");
}

// The lowest price of each line and the cheapest complete total are bold on light green; the
// press highlight shows over a marked row and gives the marks back when it moves on, and a
// sort takes them along. The summary sits under the grid and the tool tips say why a cell is
// empty.
TEST_F(BasketTest, MarksSummaryAndToolTipsOfTheComparison) {
    threeLines();
    basket& w = open();
    const QStringList start = {"СтальСнаб:", "Металлобаза Север:4", "Электросталь:7", "УралМет:56"};
    EXPECT_EQ(marks(false), start);
    EXPECT_EQ(marks(true), start);
    press(7, kBaseCol);
    EXPECT_EQ(highlighted(), QList<int>{7});
    EXPECT_EQ(marks(true).value(3), "УралМет:");
    EXPECT_EQ(marks(false), start);
    press(5, kBaseCol);
    EXPECT_EQ(marks(true), (QStringList{"СтальСнаб:", "Металлобаза Север:", "Электросталь:7", "УралМет:56"}));
    doubleClick(kCaptionRow, kCityCol);
    EXPECT_EQ(marks(false), (QStringList{"УралМет:56", "Металлобаза Север:4", "Электросталь:7", "СтальСнаб:"}));
    EXPECT_EQ(highlighted(), QList<int>{5});

    EXPECT_EQ(w.lblSummary->text(), "Целиком дешевле всего: Металлобаза Север (Москва) — 424500.\n"
                                    "Лучшая разбивка: 417350 у 2 баз, на 1.7 % дешевле.");
    EXPECT_EQ(QStringList({w.cellToolTip(4, 7), w.cellToolTip(4, kTotalCol), w.cellToolTip(6, 5),
                           w.cellToolTip(5, 5), w.cellToolTip(kCaptionRow, 5)}),
              (QStringList{"Нет предложения", "Нет позиций: «Труба 40х20х2 6 м»", "Предлагает от 5 по 48000", "", ""}));
    if (qEnvironmentVariableIsSet("ZELVORIN_SHOT")) w.grab().save(qEnvironmentVariable("ZELVORIN_SHOT"));
    QHelpEvent help(QEvent::ToolTip, at(6, 5), view()->mapToGlobal(at(6, 5)));
    QApplication::sendEvent(view(), &help);
    EXPECT_EQ(QToolTip::text(), "Предлагает от 5 по 48000");

}

// The export writes the comparison as the grid shows it, sorted: the .csv read back with
// Python's csv module (";" and the operator's decimal mark), the .xlsx with openpyxl
// (numbers are numbers, the marks bold, the header rows frozen). An empty basket offers none.
TEST_F(BasketTest, ExportWritesTheShownComparisonAsCsvAndXlsx) {
    EXPECT_FALSE(open().cmdExport->isEnabled());
    threeLines();
    Global::CurrentOrder().norder = 7;
    Global::CurrentOrder().create_date = "05.12.2026";
    basket& w = open();
    EXPECT_TRUE(w.cmdExport->isEnabled());
    doubleClick(kCaptionRow, kCityCol);  // descending: Челябинск first
    QTemporaryDir dir;
    EXPECT_EQ(exportTo(dir.filePath("a.csv")), "Заявка 7 05.12.2026.xlsx");
    const QJsonArray lines = python("import csv\n"
                                    "raw=open(sys.argv[1],'rb').read(3)\n"
                                    "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig'),delimiter=';'))\n"
                                    "print(json.dumps([raw.hex()]+[';'.join(r) for r in rows],ensure_ascii=False))",
                                    dir.filePath("a.csv"))
                                 .array();
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0].toString(), "efbbbf");
    EXPECT_EQ(lines[3].toString(), "Город;Поставщик;Итого\\Заказ;4;2.5;1;Дешевле всего");
    EXPECT_EQ(lines[4].toString(), "Челябинск;УралМет;;49900;59500;;Арматура А500С ф12 11,7 м; Уголок 50х50х5 ст3 12 м");
    EXPECT_EQ(lines[5].toString(), "Москва;Металлобаза Север;424500;50500;61000;70000;итог");
    EXPECT_EQ(lines[10].toString(), "Лучшая разбивка: 417350 у 2 баз, на 1.7 % дешевле.");

    EXPECT_EQ(exportTo(dir.filePath("b.xlsx")), "Заявка 7 05.12.2026.xlsx");
    const QJsonObject x = python("import openpyxl\n"
               "ws=openpyxl.load_workbook(sys.argv[1]).active\n"
               "cells=[[c.value for c in r] for r in ws.iter_rows(min_row=4,max_row=7)]\n"
               "bold=[[c.column for c in r if c.font.b] for r in ws.iter_rows(min_row=4,max_row=7)]\n"
               "print(json.dumps({'cells':cells,'bold':bold,'freeze':ws.freeze_panes,'q':ws['E3'].value,"
               "'fmt':ws['D4'].number_format,'wide':ws.column_dimensions['B'].width>12},ensure_ascii=False))",
               dir.filePath("b.xlsx"))
            .object();
    ASSERT_FALSE(x.isEmpty());
    const QJsonArray first = x["cells"].toArray()[0].toArray();
    EXPECT_EQ(QJsonDocument(first).toJson(QJsonDocument::Compact),
              "[\"Челябинск\",\"УралМет\",null,49900,59500,null,\"Арматура А500С ф12 11,7 м; Уголок 50х50х5 ст3 12 м\"]");
    EXPECT_EQ(QJsonDocument(x["bold"].toArray()).toJson(QJsonDocument::Compact), "[[4,5],[3],[6],[]]");
    EXPECT_EQ(QStringList({x["freeze"].toString(), x["fmt"].toString()}), QStringList({"C4", "#,##0.00"}));
    EXPECT_EQ(x["q"].toDouble(), 2.5);
    EXPECT_TRUE(x["wide"].toBool());
}

}  // namespace

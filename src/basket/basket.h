#pragma once
// The basket window: the current order's header (client, contact, state, advertising
// source), its saving as an order, and the per-base comparison of what the ordered
// lines cost, from which a line opens in the line editor or is removed.

#include <QDialog>

#include "basket/comparison.h"
#include "basket/decision.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace ui {
class FlexGrid;
}

class basket : public QDialog {
    Q_OBJECT
public:
    // Creates the window and loads it from CurrentOrder (the comparison included). A
    // comparison that cannot be built is reported and leaves the header usable.
    explicit basket(QWidget* parent = nullptr);

    // The sort direction of the next double click on the grid's caption row; kept for
    // the whole run, across closing and reopening the window.
    static bool sortAscending();
    static void setSortAscending(bool ascending);

    QLabel* Label3;  // the order number
    QLabel* Label4;
    QLineEdit* namek;
    QLabel* Label6;
    QComboBox* kl;
    QLabel* Label7;
    QComboBox* kt;
    QLabel* Label8;
    QLineEdit* email;
    QLabel* Label5;
    QLineEdit* Comment;
    QLabel* Label15;
    QComboBox* cmbRekl;
    QLabel* Label10;
    QComboBox* cmbState;
    QPushButton* Command1;  // "Выбрать"
    QPushButton* Command2;  // "Печать"
    QPushButton* oform;  // "Оформить заявку" / "Сохранить изменения в заявке"
    QPushButton* Command3;  // "Закрыть"
    QPushButton* cmdExport;  // "Экспорт…", beside "Печать"
    QLabel* lblSummary;      // what the comparison tells, under the grid
    ui::FlexGrid* gbasket;
    QLabel* width_label;

    int markedRow() const { return markedRow_; }
    const basket_cmp::Comparison& comparison() const { return cmp_; }
    const basket_cmp::Decision& decision() const { return decision_; }
    // The tool tip of a grid cell: why a price or a total is missing, or the next price
    // break; empty where there is nothing to say.
    QString cellToolTip(int row, int col) const;
    // The comparison as the grid shows it now (bases in the current order), for the
    // print-out and the export.
    QList<QStringList> shownRows() const;

    // The handlers, reachable for tests that drive the window without a mouse.
    void oform_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdExport_Click();
    void gbasket_DblClick();
    void gbasket_MouseDown();
    void gbasket_KeyDown(int key);
    void gbasket_Scroll();

    void done(int r) override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void BuildComparison();
    void fillGrid();
    // Bold on the mark colour for the lowest price of each line and the cheapest complete
    // total; the highlighted row keeps the highlight colour.
    void applyMarks();
    // The index in cmp_.bases of a grid row, or -1.
    int baseOfRow(int row) const;
    void StoreHeader();
    void ShowOrderNumber();
    void Form_Resize();
    // Tab order, the captions' buddies, Ctrl+S and the grid's keys.
    void setUpKeys();
    // Opens the line of a grid column in the line editor; other columns do nothing.
    void editLine(int col);
    // Moves the press highlight to a row (a header row takes it away).
    void markRow(int row);

    basket_cmp::Comparison cmp_;
    basket_cmp::Decision decision_;
    int markedRow_ = 0;
};

// The basket window without a mouse: Tab walks the header in reading order and then the
// grid and the buttons, each caption's letter reaches its field, Ctrl+S saves, Enter on a
// line's column opens the line editor, and the press highlight follows the keyboard.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "basket/basket.h"
#include "basket/dialogs.h"
#include "core/guard.h"
#include "global/global.h"
#include "ui/flexgrid.h"

using namespace basket_cmp;

void basket::setUpKeys() {
    const std::pair<QLabel*, QWidget*> buddies[] = {{Label4, namek},    {Label6, kl},      {Label7, kt},
                                                    {Label8, email},    {Label5, Comment}, {Label15, cmbRekl},
                                                    {Label10, cmbState}};
    for (const auto& [label, field] : buddies) label->setBuddy(field);
    QWidget* order[] = {cmbState, namek,   Command1, kl,       kt,        email,   cmbRekl,
                        Comment,  gbasket, oform,    Command2, cmdExport, Command3};
    for (size_t k = 0; k + 1 < std::size(order); ++k) setTabOrder(order[k], order[k + 1]);
    // The client is what an operator fills first.
    namek->setFocus(Qt::OtherFocusReason);

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] { core::guarded([this] { oform_Click(); }); });
    connect(gbasket, &ui::FlexGrid::currentCellChanged, this, [this] { markRow(gbasket->model().row()); });
}

void basket::editLine(int col) {
    if (col < kFirstLineCol) return;
    clsZak& o = Global::CurrentOrder();
    bool ok = false;
    const int32_t key = gbasket->model().text(kKeyRow, col).toInt(&ok);
    if (!ok) return;
    // The column's own line, so that a position ordered twice opens the line pointed at.
    const int slot = cmp_.slotOfColumn(col);
    o.MoveTo(slot);
    if (o.Field(QStringLiteral("pos")).toInt32() < 0 || o.Field(QStringLiteral("idn")).toInt32() != key)
        o.FindIND(key);
    if (o.Field(QStringLiteral("pos")).toInt32() < 0) return;
    basket_dialogs::showLineEditor(false, {}, this);
    BuildComparison();
}

void basket::markRow(int row) {
    try {
        ui::GridModel& m = gbasket->model();
        if (m.rows() <= kFixedRows) return;
        if (row != markedRow_) {
            m.setHighlightedRow(row, kMarkCol);
            applyMarks();  // the row the highlight left gets its marks back
            gbasket->refresh();
        }
        markedRow_ = row;
    } catch (...) {
        Global::ReportError(QStringLiteral("Ошибка 24!"));
    }
}

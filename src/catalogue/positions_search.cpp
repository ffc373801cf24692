// The catalogue's context search and its keyboard: Ctrl+F and Check_con switch the search
// mode on, shablon's words list the matching positions of every group in dg, and Enter, the
// menu key and Space do what the mouse does.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "catalogue/catalogue_logic.h"
#include "catalogue/positions.h"
#include "ui/flexgrid.h"
#include "ui/grid_model.h"

void positions::enterSearch() {
    Check_con->setChecked(true);
    shablon->setFocus(Qt::ShortcutFocusReason);
    shablon->selectAll();
}

void positions::enterResult() {
    dg->setFocus(Qt::OtherFocusReason);
    ui::GridModel& m = dg->model();
    if (!isPositionRow(m.row())) {
        if (!isPositionRow(m.fixedRows())) return;
        m.setRow(m.fixedRows());
    }
    // The row the cursor stands on is selected as a press selects it: highlighted, its offers loaded.
    ShowPositionRow();
}

void positions::Check_con_Click() {
    const bool on = Check_con->isChecked();
    if (on == searching_) return;
    shablon->setVisible(on);
    if (on) {
        zagBeforeSearch_ = zag->text();
        searching_ = true;
        shablon->setFocus(Qt::OtherFocusReason);
        shablon_Change();
        return;
    }
    // Leaving the search shows what was shown before it.
    searching_ = false;
    searchText_.clear();
    searchKeys_.clear();
    if (zag->text() == zagBeforeSearch_) return;
    zag->setText(zagBeforeSearch_);
    LoadPositions();
}

void positions::shablon_Change() {
    if (!searching_) return;
    const QString words = shablon->text().simplified();
    if (words == searchText_) return;
    searchText_ = words;
    if (words.isEmpty()) {
        searchKeys_.clear();
        zag->setText(zagBeforeSearch_);
    } else {
        findSearchKeys();
        zag->setText(QStringLiteral("Поиск: ") + words);
    }
    LoadPositions();
}

void positions::findSearchKeys() {
    if (names_.isEmpty()) {
        rsCat = Global::Cn().open(QStringLiteral("SELECT IND, PST_NM FROM TBL_PSTS"));
        for (; !rsCat->eof(); rsCat->moveNext())
            names_.add(rsCat->field(QStringLiteral("IND")).toInt32(), rsCat->field(QStringLiteral("PST_NM")).toText());
        closeRsCat();
    }
    searchKeys_ = names_.find(searchText_);
}

QString positions::listCondition() const {
    if (searching_ && !searchText_.isEmpty()) return catalogue::searchCondition(searchKeys_, BasesFilter());
    return catalogue::positionsCondition(chosenGroup_, BasesFilter());
}

bool positions::isPositionRow(int row) const {
    const ui::GridModel& m = dg->model();
    return row >= m.fixedRows() && row < m.rows() && m.rowHeight(row) > 0 && !m.text(row, 0).trimmed().isEmpty();
}

void positions::openRowMenu(const QPoint& screenPos) {
    ptCursor = screenPos;
    if (core::popupMenus().track(hMenu, ptCursor) != 1) return;
    addRowToBasket();
}

void positions::addRowToBasket() {
    ui::GridModel& m = dg->model();
    if (!isPositionRow(m.row())) return;
    clsZak& order = Global::CurrentOrder();
    if (order.InsertRow() < 0) {
        // The order holds a fixed number of lines; writing into the current one would
        // overwrite a line the operator already entered.
        core::showMessage(QStringLiteral("Корзина заполнена: в заявке не может быть больше %1 позиции.")
                              .arg(clsZak::kMaxSlot + 1));
        return;
    }
    order.setField(QStringLiteral("idn"), m.text(m.row(), 0));
    order.setField(QStringLiteral("qty"), core::Value::int16(0));
    if (const auto& showLineEditor = Global::dialogs().showLineEditor) {
        showLineEditor(true, [this](QSize editor) {
            return catalogue::editorPlace(QRect(dg->mapToGlobal(QPoint(0, 0)), dg->size()), editor);
        });
    }
    Global::RefreshBasketIndicator();
}

void positions::dg_KeyDown(int key) {
    const int row = dg->model().row();
    if (!isPositionRow(row)) return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        addRowToBasket();
    } else if (key == Qt::Key_Menu) {
        dg->ensureCellVisible(row, 1);
        const QRect cell = dg->cellRect(row, 1);
        openRowMenu(dg->viewport()->mapToGlobal(cell.bottomLeft()));
    }
}

void positions::bases_KeyDown(int key) {
    if (key == Qt::Key_Space && bases->model().col() == 2) bases_Click();
}

#include "basket/basket.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "basket/basket_layout.h"
#include "basket/basket_print.h"
#include "basket/dialogs.h"
#include "core/guard.h"
#include "core/helpers.h"
#include "core/seams.h"
#include "global/global.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"
#include "ui/named.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

using namespace basket_cmp;

namespace {

const QString kCaption = QStringLiteral("Заявка");
const QString kSaveNew = QStringLiteral("Оформить заявку");
const QString kSaveChanges = QStringLiteral("Сохранить изменения в заявке");

bool g_sortAscending = false;

// The header's design positions in twips: captioned fields in five rows, in two columns
// where the texts are short.
constexpr int kRowTop[] = {30, 360, 690, 1020, 1350};
constexpr int kFieldHeight = 315;
constexpr int kLeftLabel = 120, kLeftLabelWidth = 1800;
constexpr int kLeftField = 1980, kLeftFieldWidth = 2940;
constexpr int kRightLabel = 5040, kRightLabelWidth = 1380;
constexpr int kRightField = 6480, kRightFieldWidth = 2280;
constexpr int kGridLeft = 90, kGridTop = 1710;
constexpr int kButtonHeight = 375;
constexpr int kStartWidth = 13500, kStartHeight = 7800;  // outer size when the window opens

// A key press that would type, delete or paste text (not one that only moves the
// cursor or the focus, or confirms or leaves the window).
bool typesText(const QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return false;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            return true;
        default:
            break;
    }
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo) ||
        e->matches(QKeySequence::Redo))
        return true;
    return !e->text().isEmpty();
}

QLabel* caption(const QString& text, const char* name, QWidget* parent) {
    auto* l = ui::named<QLabel>(parent, QLatin1String(name), text);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

QLineEdit* lineEdit(const char* name, QWidget* parent) {
    return ui::named<QLineEdit>(parent, QLatin1String(name));
}

QComboBox* editableCombo(const char* name, QWidget* parent) {
    auto* c = ui::named<QComboBox>(parent, QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

}  // namespace

bool basket::sortAscending() {
    return g_sortAscending;
}
void basket::setSortAscending(bool ascending) {
    g_sortAscending = ascending;
}

basket::basket(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("basket"));
    setWindowTitle(kCaption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);
    // The header's captions; the fields follow in the order the Tab key walks them.
    const struct {
        QLabel** label;
        const char* text;
        const char* name;
    } captions[] = {{&Label4, "Клиент:", "Label4"},      {&Label6, "Контактное лицо:", "Label6"},
                    {&Label7, "Телефон:", "Label7"},     {&Label8, "eMail:", "Label8"},
                    {&Label5, "КомПоЗаявке:", "Label5"}, {&Label15, "Реклама:", "Label15"},
                    {&Label10, "Статус:", "Label10"}};
    for (const auto& c : captions) *c.label = caption(QString::fromUtf8(c.text), c.name, this);
    namek = lineEdit("namek", this);
    kl = editableCombo("kl", this);
    kt = editableCombo("kt", this);
    email = lineEdit("email", this);
    Comment = lineEdit("Comment", this);
    cmbRekl = editableCombo("cmbRekl", this);
    cmbState = editableCombo("cmbState", this);

    Command1 = new QPushButton(QStringLiteral("Выбрать"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Печать"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    oform = new QPushButton(kSaveNew, this);
    oform->setObjectName(QStringLiteral("oform"));
    Command3 = new QPushButton(QStringLiteral("Закрыть"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    // Enter in a header field must neither save nor close the window.
    for (QPushButton* b : {Command1, Command2, oform, Command3}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    gbasket = new ui::FlexGrid(this);
    gbasket->setObjectName(QStringLiteral("gbasket"));
    ui::GridModel& m = gbasket->model();
    m.setCols(kFirstLineCol);
    m.setRows(kFixedRows + 1);
    m.setFixedRows(kFixedRows);
    m.setFixedCols(0);
    QFont headerFont = gbasket->font();
    headerFont.setBold(true);
    gbasket->setHeaderFont(headerFont);

    width_label = new QLabel(this);
    width_label->setObjectName(QStringLiteral("width_label"));
    width_label->setFont(gbasket->font());
    width_label->hide();

    // Design positions of the controls that do not follow the window's size.
    // The client's name and the comment take whole rows: they are the long texts.
    constexpr int kRowEnd = kRightField + kRightFieldWidth;
    ui::setGeometryTwips(*Label3, kLeftLabel, kRowTop[0], kLeftLabelWidth + kLeftFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label10, kRightLabel, kRowTop[0], kRightLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*cmbState, kRightField, kRowTop[0], kRightFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label4, kLeftLabel, kRowTop[1], kLeftLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*namek, kLeftField, kRowTop[1], kRowEnd - 1020 - kLeftField, kFieldHeight);
    ui::setGeometryTwips(*Command1, kRowEnd - 960, kRowTop[1], 960, kFieldHeight);
    ui::setGeometryTwips(*Label6, kLeftLabel, kRowTop[2], kLeftLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*kl, kLeftField, kRowTop[2], kLeftFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label7, kRightLabel, kRowTop[2], kRightLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*kt, kRightField, kRowTop[2], kRightFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label8, kLeftLabel, kRowTop[3], kLeftLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*email, kLeftField, kRowTop[3], kLeftFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label15, kRightLabel, kRowTop[3], kRightLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*cmbRekl, kRightField, kRowTop[3], kRightFieldWidth, kFieldHeight);
    ui::setGeometryTwips(*Label5, kLeftLabel, kRowTop[4], kLeftLabelWidth, kFieldHeight);
    ui::setGeometryTwips(*Comment, kLeftField, kRowTop[4], kRowEnd - kLeftField, kFieldHeight);
    ui::setGeometryTwips(*oform, 120, 0, 3300, kButtonHeight);
    ui::setGeometryTwips(*Command2, 3540, 0, 1200, kButtonHeight);
    ui::setGeometryTwips(*Command3, 0, 0, 930, kButtonHeight);
    ui::setGeometryTwips(*gbasket, kGridLeft, kGridTop, 8685, 3200);

    setMinimumSize(ui::twipsToPx(basket_layout::kMinWidth - basket_layout::kFrameWidth),
                   ui::twipsToPx(basket_layout::kMinHeight - basket_layout::kFrameHeight));
    resize(ui::twipsToPx(kStartWidth - basket_layout::kFrameWidth),
           ui::twipsToPx(kStartHeight - basket_layout::kFrameHeight));

    for (QObject* o : {static_cast<QObject*>(namek), static_cast<QObject*>(kl), static_cast<QObject*>(kt),
                       static_cast<QObject*>(cmbRekl), static_cast<QObject*>(cmbState)})
        o->installEventFilter(this);
    for (QComboBox* c : {kl, kt, cmbRekl, cmbState}) c->lineEdit()->installEventFilter(this);
    // Pasting with the mouse edits the name as much as typing does.
    connect(namek, &QLineEdit::textEdited, this, [] {
        clsZak& o = Global::CurrentOrder();
        o.contr_code.clear();
        o.contr_id.clear();
    });

    connect(Command2, &QPushButton::clicked, this, [this] { core::guarded([this] { Command2_Click(); }); });
    connect(oform, &QPushButton::clicked, this, [this] { core::guarded([this] { oform_Click(); }); });
    connect(Command3, &QPushButton::clicked, this, [this] { core::guarded([this] { Command3_Click(); }); });
    connect(gbasket, &ui::FlexGrid::doubleClicked, this,
            [this] { core::guarded([this] { gbasket_DblClick(); }); });
    connect(gbasket, &ui::FlexGrid::mousePressed, this, [this] { gbasket_MouseDown(); });
    connect(gbasket, &ui::FlexGrid::keyPressed, this,
            [this](int key, Qt::KeyboardModifiers) { gbasket_KeyDown(key); });
    connect(gbasket, &ui::FlexGrid::scrolled, this, [this] { core::guarded([this] { gbasket_Scroll(); }); });

    Form_Load();
    Form_Resize();
}

void basket::Form_Load() {
    cmbState->addItems(basket_print::stateCaptions());

    clsZak& o = Global::CurrentOrder();
    namek->setText(o.contr);
    kl->setEditText(o.contact_face);
    kt->setEditText(o.contact_face_tel);
    email->setText(o.contact_face_mail);
    Comment->setText(o.Comment);
    cmbRekl->setEditText(o.rekl);
    // Long texts show their beginning, which is what tells one client from another.
    for (QLineEdit* e : {namek, email, Comment, kl->lineEdit(), kt->lineEdit(), cmbRekl->lineEdit()})
        e->setCursorPosition(0);

    if (o.norder != 0) {
        Command2->setEnabled(true);
        // A state the list does not know shows as no state at all.
        cmbState->setCurrentIndex(o.state >= 1 && o.state <= 3 ? o.state - 1 : -1);
    } else {
        Command2->setEnabled(false);
        cmbState->setCurrentIndex(0);
    }
    ShowOrderNumber();

    try {
        BuildComparison();
    } catch (const std::exception& e) {
        // The header stays editable and savable even when the comparison cannot be built.
        core::showMessage(QStringLiteral("Не удалось построить сравнение предложений: ") + core::errorText(e),
                          kCaption);
    }
    Global::RefreshBasketIndicator();
}

void basket::BuildComparison() {
    gbasket->setUpdatesEnabled(false);
    gbasket->model().setHighlightedRow(-1);
    markedRow_ = 0;
    try {
        cmp_ = basket_cmp::BuildComparison(Global::Cn(), Global::CurrentOrder());
    } catch (...) {
        // Never leave a table whose columns no longer match the order's lines.
        cmp_ = Comparison{};
        fillGrid();
        gbasket->setUpdatesEnabled(true);
        throw;
    }
    fillGrid();
    gbasket->setUpdatesEnabled(true);
}

void basket::fillGrid() {
    ui::GridModel& m = gbasket->model();
    const QList<QStringList> texts = cmp_.gridTexts();
    m.setCols(cmp_.columnCount());
    m.setRows(static_cast<int>(texts.size()));
    m.clearCells();
    for (int r = 0; r < texts.size(); ++r) {
        for (int c = 0; c < texts[r].size(); ++c) m.setText(r, c, texts[r][c]);
        m.setRowHeight(r, ui::GridModel::kDefaultRowHeight);
    }
    m.setColWidth(kKeyCol, 0);
    m.setRowHeight(kKeyRow, 0);
    if (cmp_.hasPlaceholderRow()) m.setRowHeight(kFixedRows, 0);
    for (int c = 1; c < m.cols(); ++c) {
        if (m.colWidth(c) == 0) m.setColWidth(c, ui::GridModel::kDefaultColWidth);
        m.setFixedAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);
        // Prices and totals are figures: right-aligned so that their digits line up.
        m.setColAlignment(
            c, c >= kTotalCol ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    }
    m.setRow(kFixedRows);
    m.setCol(0);
    m.setTopRow(kFixedRows);
    ui::FitColumns(*gbasket, *width_label, kFixedRows);
}

void basket::StoreHeader() {
    clsZak& o = Global::CurrentOrder();
    o.contr = namek->text();
    o.contact_face = kl->currentText();
    o.contact_face_mail = email->text();
    o.contact_face_tel = kt->currentText();
    o.Comment = Comment->text();
    o.rekl = cmbRekl->currentText();
    const int i = cmbState->currentIndex();
    if (i >= 0 && i <= 2 && cmbState->currentText() == cmbState->itemText(i)) o.state = i + 1;
}

void basket::ShowOrderNumber() {
    const clsZak& o = Global::CurrentOrder();
    if (o.norder != 0) {
        Label3->setText(QStringLiteral("№ заявки: ") + QString::number(o.norder));
        oform->setText(kSaveChanges);
    } else {
        Label3->setText(QStringLiteral("№ заявки: не сохранена"));
        oform->setText(kSaveNew);
    }
}

void basket::oform_Click() {
    const QString state = cmbState->currentText();
    if ((state == QStringLiteral("Оставлена за мной") || state == QStringLiteral("Закрыта мной")) &&
        cmbRekl->currentText().trimmed().isEmpty()) {
        core::showMessage(QStringLiteral("Необходима информация об источнике сведений."),
                          QStringLiteral("Реклама"));
        return;
    }
    StoreHeader();
    try {
        Global::CurrentOrder().SaveOrder();
    } catch (const std::exception& e) {
        // The order stays in memory as it is, so the operator can save it again.
        core::showMessage(QStringLiteral("Заявка не сохранена: ") + core::errorText(e), kCaption);
    }
    ShowOrderNumber();
}

void basket::Command2_Click() {
    // The print-out shows the header as the window shows it, edits included.
    StoreHeader();
    QList<QStringList> rows;
    const ui::GridModel& m = gbasket->model();
    for (int r = 0; r < m.rows(); ++r) rows.append(m.rowTexts(r));
    basket_print::printOrder(basket_print::collectOrder(Global::CurrentOrder(), cmp_, rows), this);
}

void basket::Command3_Click() {
    close();
}

void basket::done(int r) {
    // However the window closes, the header edits stay with the order.
    core::guarded([this] { StoreHeader(); });
    QDialog::done(r);
}

void basket::gbasket_DblClick() {
    ui::GridModel& m = gbasket->model();
    const int row = gbasket->mouseRow();
    const int col = gbasket->mouseCol();
    if (row < 0 || col < 0) return;
    if (row == kCaptionRow) {
        m.setCol(col);
        m.sort(col, g_sortAscending);
        g_sortAscending = !g_sortAscending;
        // The highlight moved with its row; follow it.
        if (markedRow_ >= kFixedRows && m.highlightedRow() >= 0) markedRow_ = m.highlightedRow();
        gbasket->refresh();
        return;
    }
    if (col < kFirstLineCol || (row != kGroupRow && row != kNameRow)) return;

    clsZak& o = Global::CurrentOrder();
    bool ok = false;
    const int32_t key = m.text(kKeyRow, col).toInt(&ok);
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

void basket::gbasket_MouseDown() {
    try {
        ui::GridModel& m = gbasket->model();
        const int row = gbasket->mouseRow();
        if (row < 0) return;
        m.setRow(row);
        if (gbasket->mouseCol() >= 0) m.setCol(gbasket->mouseCol());
        if (m.rows() <= kFixedRows) return;
        if (row != markedRow_) {
            m.setHighlightedRow(row, kMarkCol);
            gbasket->refresh();
        }
        markedRow_ = row;
    } catch (...) {
        Global::ReportError(QStringLiteral("Ошибка 24!"));
    }
}

void basket::gbasket_KeyDown(int key) {
    if (key != Qt::Key_Delete) return;
    try {
        ui::GridModel& m = gbasket->model();
        const int row = m.row();
        const int col = m.col();
        if (row < 1 || row >= m.rows() || m.rowHeight(row) < 1) return;
        // The line is the one whose column the operator points at; a base's own cells
        // name no line.
        const int slot = cmp_.slotOfColumn(col);
        if (slot < 0) return;
        const QString name = m.text(kNameRow, col).trimmed();
        if (!core::askYesNo(QStringLiteral("Вы уверены?"), QStringLiteral("Удаление позиции ") + name))
            return;
        try {
            clsZak& o = Global::CurrentOrder();
            o.RemoveRow(static_cast<int16_t>(slot));
            BuildComparison();
            Global::RefreshBasketIndicator();
        } catch (...) {
            core::showMessage(QStringLiteral("Ошибка при удалении"));
        }
    } catch (...) {
        Global::ReportError(QStringLiteral("Ошибка 23!"));
    }
}

void basket::gbasket_Scroll() {
    ui::GridModel& m = gbasket->model();
    m.setCol(0);
    m.setColSel(m.cols() - 1);
    gbasket->refresh();
}

void basket::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    Form_Resize();
}

void basket::Form_Resize() {
    if (windowState() & Qt::WindowMinimized) return;
    try {
        const basket_layout::Placement p =
            basket_layout::place(ui::pxToTwips(width()) + basket_layout::kFrameWidth,
                                 ui::pxToTwips(height()) + basket_layout::kFrameHeight);
        ui::setTopTwips(*oform, p.buttonsTop);
        ui::setTopTwips(*Command2, p.buttonsTop);
        ui::setTopTwips(*Command3, p.buttonsTop);
        ui::setLeftTwips(*Command3, p.command3Left);
        ui::setWidthTwips(*gbasket, p.gridWidth);
        ui::setHeightTwips(*gbasket, p.gridHeight);
    } catch (...) {
        Global::ReportError(QStringLiteral("Ошибка 23!"));
    }
}

bool basket::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const auto* e = static_cast<const QKeyEvent*>(event);
    if (watched == namek) {
        // A name edited by hand is no longer the client record it came from.
        if (typesText(e)) {
            clsZak& o = Global::CurrentOrder();
            o.contr_code.clear();
            o.contr_id.clear();
        }
        return false;
    }
    // The contact and the telephone can be shortened or cleared, never typed.
    const std::pair<QComboBox*, const char*> shortenOnly[] = {{kl, "Ошибка 26!"}, {kt, "Ошибка 27!"}};
    for (const auto& [box, error] : shortenOnly) {
        if (watched != box && watched != box->lineEdit()) continue;
        try {
            return typesText(e) && e->key() != Qt::Key_Backspace && e->key() != Qt::Key_Delete;
        } catch (...) {
            Global::ReportError(QString::fromUtf8(error));
            return false;
        }
    }
    if (watched == cmbRekl || watched == cmbRekl->lineEdit() || watched == cmbState ||
        watched == cmbState->lineEdit())
        return typesText(e);  // chosen from the list only
    return QDialog::eventFilter(watched, event);
}

#include "basket/basket.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QToolTip>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "basket/basket_layout.h"
#include "basket/basket_print.h"
#include "basket/dialogs.h"
#include "basket/export.h"
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
const QString kSaveNew = QStringLiteral("&Оформить заявку");
const QString kSaveChanges = QStringLiteral("&Сохранить изменения в заявке");

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
constexpr int kExportLeft = 4860, kExportWidth = 1200;  // right of "Печать"
constexpr int kSummaryGap = 45;  // between the grid, the summary and the buttons
// The back colour of the marked cells, light green.
const QColor kMarkColour = ui::bgr(0xCCF0CC);

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
    } captions[] = {{&Label4, "&Клиент:", "Label4"},     {&Label6, "Ко&нтактное лицо:", "Label6"},
                    {&Label7, "&Телефон:", "Label7"},    {&Label8, "&eMail:", "Label8"},
                    {&Label5, "Ко&мПоЗаявке:", "Label5"}, {&Label15, "&Реклама:", "Label15"},
                    {&Label10, "Стат&ус:", "Label10"}};
    for (const auto& c : captions) *c.label = caption(QString::fromUtf8(c.text), c.name, this);
    namek = lineEdit("namek", this);
    kl = editableCombo("kl", this);
    kt = editableCombo("kt", this);
    email = lineEdit("email", this);
    Comment = lineEdit("Comment", this);
    cmbRekl = editableCombo("cmbRekl", this);
    cmbState = editableCombo("cmbState", this);

    Command1 = new QPushButton(QStringLiteral("&Выбрать"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("&Печать"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    oform = new QPushButton(kSaveNew, this);
    oform->setObjectName(QStringLiteral("oform"));
    Command3 = new QPushButton(QStringLiteral("&Закрыть"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    cmdExport = new QPushButton(QStringLiteral("&Экспорт…"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSummary->setTextFormat(Qt::PlainText);
    // Enter in a header field must neither save nor close the window.
    for (QPushButton* b : {Command1, Command2, oform, Command3, cmdExport}) {
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
    ui::setGeometryTwips(*cmdExport, kExportLeft, 0, kExportWidth, kButtonHeight);
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
    connect(cmdExport, &QPushButton::clicked, this, [this] { core::guarded([this] { cmdExport_Click(); }); });
    gbasket->viewport()->installEventFilter(this);
    connect(gbasket, &ui::FlexGrid::doubleClicked, this,
            [this] { core::guarded([this] { gbasket_DblClick(); }); });
    connect(gbasket, &ui::FlexGrid::mousePressed, this, [this] { gbasket_MouseDown(); });
    connect(gbasket, &ui::FlexGrid::keyPressed, this,
            [this](int key, Qt::KeyboardModifiers) { gbasket_KeyDown(key); });
    connect(gbasket, &ui::FlexGrid::scrolled, this, [this] { core::guarded([this] { gbasket_Scroll(); }); });

    setUpKeys();
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
        decision_ = Decision(cmp_, LoadOffers(Global::Cn()));
    } catch (...) {
        // Never leave a table whose columns no longer match the order's lines.
        cmp_ = Comparison{};
        decision_ = Decision{};
        fillGrid();
        gbasket->setUpdatesEnabled(true);
        throw;
    }
    fillGrid();
    gbasket->setUpdatesEnabled(true);
}

int basket::baseOfRow(int row) const {
    const ui::GridModel& m = gbasket->model();
    if (row < kFixedRows || row >= m.rows()) return -1;
    bool ok = false;
    const int32_t key = m.text(row, kKeyCol).toInt(&ok);
    if (!ok) return -1;
    for (size_t i = 0; i < cmp_.bases.size(); ++i)
        if (cmp_.bases[i].baseKey == key) return static_cast<int>(i);
    return -1;
}

void basket::applyMarks() {
    ui::GridModel& m = gbasket->model();
    const int highlighted = m.highlightedRow();
    for (int r = kFixedRows; r < m.rows(); ++r) {
        const int b = baseOfRow(r);
        if (b < 0) continue;
        auto mark = [&](int c, bool on) {
            m.setCellBold(r, c, on);
            if (r != highlighted) m.setCellBackColor(r, c, on ? std::optional<QColor>(kMarkColour) : std::nullopt);
        };
        mark(kTotalCol, decision_.cheapestTotal(size_t(b)));
        for (size_t l = 0; l < cmp_.lines.size(); ++l)
            mark(kFirstLineCol + int(l), decision_.cheapestPrice(size_t(b), l));
    }
}

QString basket::cellToolTip(int row, int col) const {
    const int b = baseOfRow(row);
    if (b < 0) return {};
    if (col == kTotalCol) return decision_.totalTip(size_t(b));
    const int line = col - kFirstLineCol;
    if (line < 0 || line >= int(cmp_.lines.size())) return {};
    return decision_.priceTip(size_t(b), size_t(line), QLocale());
}

QList<QStringList> basket::shownRows() const {
    QList<QStringList> rows;
    const ui::GridModel& m = gbasket->model();
    for (int r = 0; r < m.rows(); ++r) rows.append(m.rowTexts(r));
    return rows;
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
    applyMarks();
    const QString summary = decision_.summary(QLocale()).join(QLatin1Char('\n'));
    lblSummary->setText(summary);
    lblSummary->setToolTip(summary);  // the whole text where the window cuts it off
    cmdExport->setEnabled(Global::CurrentOrder().RecordCount() > 0);
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
    basket_print::printOrder(basket_print::collectOrder(Global::CurrentOrder(), cmp_, shownRows(), &decision_), this);
}

void basket::cmdExport_Click() {
    if (Global::CurrentOrder().RecordCount() <= 0) return;  // an empty basket has nothing to hand on
    static QString folder = QDir::homePath();
    QFileDialog dialog(this, QStringLiteral("Экспорт сравнения"), folder,
                       QStringLiteral("Книга Excel (*.xlsx);;Текст CSV, разделитель «;» (*.csv)"));
    dialog.setObjectName(QStringLiteral("exportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.selectFile(basket_export::proposedFileName(Global::CurrentOrder(), QDate::currentDate()));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QStringLiteral("*.csv")) ? QStringLiteral("csv")
                                                                           : QStringLiteral("xlsx"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    folder = QFileInfo(path).absolutePath();
    // The bases in the order the grid shows them now, a sort included.
    std::vector<int32_t> order;
    const ui::GridModel& m = gbasket->model();
    for (int r = kFixedRows; r < m.rows(); ++r)
        if (baseOfRow(r) >= 0) order.push_back(cmp_.bases[size_t(baseOfRow(r))].baseKey);
    QString error;
    const QLocale locale;
    if (!basket_export::writeTable(basket_export::makeTable(cmp_, decision_, order, locale), path, locale, &error))
        core::showMessage(error, kCaption);
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
    if (row == kGroupRow || row == kNameRow) editLine(col);
}

void basket::gbasket_MouseDown() {
    if (gbasket->mouseRow() < 0) return;
    gbasket->model().setRow(gbasket->mouseRow());
    if (gbasket->mouseCol() >= 0) gbasket->model().setCol(gbasket->mouseCol());
    markRow(gbasket->mouseRow());
}

void basket::gbasket_KeyDown(int key) {
    // Enter opens the line whose column is pointed at, as the double click on its name does.
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        core::guarded([this] { editLine(gbasket->model().col()); });
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
        ui::setTopTwips(*cmdExport, p.buttonsTop);
        ui::setWidthTwips(*gbasket, p.gridWidth);
        // The summary's two lines sit right above the buttons; the grid gives up what
        // they need of its height.
        const int summaryHeight = ui::pxToTwips(2 * lblSummary->fontMetrics().lineSpacing() + 2);
        const int summaryTop = p.buttonsTop - kSummaryGap - summaryHeight;
        ui::setGeometryTwips(*lblSummary, kGridLeft, summaryTop, p.gridWidth, summaryHeight);
        ui::setHeightTwips(*gbasket, std::min(p.gridHeight, summaryTop - kSummaryGap - kGridTop));
    } catch (...) {
        Global::ReportError(QStringLiteral("Ошибка 23!"));
    }
}

bool basket::eventFilter(QObject* watched, QEvent* event) {
    if (watched == gbasket->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<const QHelpEvent*>(event);
        QString tip;
        core::guarded([&] { tip = cellToolTip(gbasket->rowAt(help->pos().y()), gbasket->colAt(help->pos().x())); });
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, gbasket->viewport());
        return true;
    }
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

#include "catalogue/positions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "catalogue/catalogue_logic.h"
#include "catalogue/positions_design.h"
#include "core/errors.h"
#include "core/helpers.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

using namespace catalogue::design;

namespace {

// The window last registered as the basket indicator, so that a window going away
// never unregisters another one.
positions* g_registered = nullptr;
QSize g_screenForTests;

const QString kAddToBasket = QStringLiteral("Добавить в корзину");

QColor bgr(uint32_t v) {
    return ui::bgr(v);
}

// Shows a widget again however the scope is left.
struct ShowOnExit {
    QWidget* w;
    ~ShowOnExit() { w->show(); }
};

// Paints a widget once at the end of the scope, however it is left.
struct PaintOnceOnExit {
    explicit PaintOnceOnExit(QWidget* w) : w(w), was(w->updatesEnabled()) { w->setUpdatesEnabled(false); }
    ~PaintOnceOnExit() { w->setUpdatesEnabled(was); }
    QWidget* w;
    bool was;
};

}  // namespace

void positions::setScreenSizeForTests(const QSize& twips) {
    g_screenForTests = twips;
}

positions::positions(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("positions"));
    buildControls();
    Form_Load();
}

positions::~positions() {
    if (loaded_) Form_Unload();
}

// ---------------------------------------------------------------------------------
// Life cycle

void positions::closeRsCat() {
    if (!rsCat) return;
    try {
        rsCat->close();
    } catch (...) {
        // Closing is best effort: the result set is dropped either way.
    }
    rsCat.reset();
}

void positions::Form_Load() {
    hMenu = {core::MenuItem{1, kAddToBasket}};
    curType_ = -1;
    curGroup_ = -1;
    prevRow_ = 0;
    chosenGroup_ = 0;
    sortDg_ = false;
    sortPrices_ = false;
    Check_con->setChecked(false);
    names_.clear();
    guarded([this] { LoadBases(); });
    Global::CatalogueOpen = -1;
    g_registered = this;
    Global::registerBasketIndicator(this);
    loaded_ = true;
    Global::RefreshBasketIndicator();
}

void positions::Form_Unload() {
    loaded_ = false;
    if (g_registered == this) {
        Global::CatalogueOpen = 0;
        Global::registerBasketIndicator(nullptr);
        g_registered = nullptr;
    }
    hMenu.clear();
    closeRsCat();
}

void positions::showEvent(QShowEvent* e) {
    // A window closed and shown again loads afresh, with every base marked.
    if (!loaded_) {
        zag->clear();
        frm1->hide();
        frm2->hide();
        Form_Load();
        // The keyboard starts in the positions list, so that Ctrl+F and the arrows work at once.
        dg->setFocus(Qt::OtherFocusReason);
    }
    // Laid out before it is first seen, whatever size the frame gave it.
    guarded([this] { Form_Resize(); });
    QWidget::showEvent(e);
}

void positions::closeEvent(QCloseEvent* e) {
    if (loaded_) Form_Unload();
    e->accept();
}

void positions::setBasketIndicator(bool full, const QString& countCaption) {
    b_full->setVisible(full);
    b_emp->setVisible(!full);
    c_bas->setText(countCaption);
    c_bas->setVisible(full);
}

// ---------------------------------------------------------------------------------
// Mouse on the window, its title and its pictures

bool positions::isFreeArea(const QPoint& pos) const {
    return childAt(pos) == nullptr;
}

void positions::mousePressEvent(QMouseEvent* e) {
    pressOnFreeArea_ = isFreeArea(e->position().toPoint());
    e->accept();
}

void positions::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = pressOnFreeArea_ && isFreeArea(e->position().toPoint());
    pressOnFreeArea_ = false;
    e->accept();
    if (click) guarded([this] { Form_Click(); });
}

void positions::Form_Click() {
    frm1->hide();
    frm2->hide();
}

bool positions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label10 && event->type() == QEvent::MouseMove) {
        guarded([this] { Label10_MouseMove(); });
    } else if (watched == shablon && event->type() == QEvent::KeyPress) {
        // Esc leaves the search; Down goes on into its result.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) Check_con->setChecked(false);
        if (key == Qt::Key_Down) guarded([this] { enterResult(); });
        if (key == Qt::Key_Escape || key == Qt::Key_Down) return true;
    } else if ((watched == b_emp || watched == b_full) && event->type() == QEvent::MouseButtonDblClick) {
        guarded([this] { basketPicture_DblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void positions::Label10_MouseMove() {
    curType_ = -1;
    int16_t allTypes = 0;
    Global::LoadTypeGroupLabels(allTypes, *lb1_, *frm1);
    setWidth(frm1, lb1_->span() + 150);
    frm1->show();
    if (dg->isVisible()) dg->lower();
    frm1->raise();
}

// ---------------------------------------------------------------------------------
// Type and group lists

// Moves the hot entry of a list to `index`; false when it was there already.
bool positions::moveHot(ui::LabelArray& list, int& current, int index) {
    Check_con->setChecked(false);
    shablon->hide();
    if (index == current) return false;
    if (current >= 0) list.setColors(current, kLabelBack, kLabelFore);
    current = index;
    list.setColors(index, kLabelHotBack, kLabelHotFore);
    return true;
}

void positions::lb1_MouseMove(int index) {
    if (!moveHot(*lb1_, curType_, index)) return;
    frm2->setTitle(lb1_->caption(index));
    curGroup_ = -1;
    int16_t typeId = core::Value(lb1_->tag(index)).toInt16();
    Global::LoadTypeGroupLabels(typeId, *lb2_, *frm2);
    if (lb2_->width(0) != 0) {
        const QRect f1 = twips(frm1);
        int top = lb1_->top(index) + f1.y() - 240;
        // A long group list opened low in the window moves up rather than run off its bottom.
        const int windowH = ui::pxToTwips(height());
        const int panelH = ui::pxToTwips(frm2->height());
        if (top + panelH > windowH) top = std::max(0, windowH - panelH);
        place(frm2, f1.x() + f1.width(), top, ui::pxToTwips(frm2->width()), panelH);
        frm2->raise();
        frm2->show();
    } else {
        frm2->hide();
    }
}

void positions::lb2_MouseMove(int index) {
    moveHot(*lb2_, curGroup_, index);
}


void positions::lb2_MouseDown(int index) {
    // The press lands on the entry under the mouse; a press that came without a move
    // first (a touch, a test) highlights it here.
    if (index != curGroup_) lb2_MouseMove(index);
    frm1->hide();
    frm2->hide();
    // The group list carries the caption of the type it belongs to, also when the
    // highlight has left the type list since.
    zag->setText(frm2->title() + QStringLiteral(" - ") + lb2_->caption(curGroup_));
    chosenGroup_ = lb2_->tag(curGroup_);
    LoadPositions();
}

// ---------------------------------------------------------------------------------
// Positions grid

void positions::LoadPositions() {
    dg->hide();
    prices->hide();
    if (zag->text().trimmed().isEmpty()) return;
    ShowOnExit showDg{dg};

    ui::GridModel& m = dg->model();
    m.addItem(QString(), 1);
    m.setRows(2);
    m.setColWidth(0, 0);
    m.setRowHeight(1, 0);
    m.setText(0, 1, QStringLiteral("Наименование"));
    m.setText(0, 2, QStringLiteral("МинЦена"));
    m.setText(0, 3, QStringLiteral("МаксЦена"));
    // A new list has no highlighted row: any of its rows selected next is highlighted.
    m.setHighlightedRow(-1);
    prevRow_ = 0;

    condition_ = listCondition();
    rsCat = Global::Cn().open(catalogue::positionsStatement(condition_));
    const QString ind = QStringLiteral("IND"), name = QStringLiteral("PST_NM"), low = QStringLiteral("MIN_CST"),
                  high = QStringLiteral("MAX_CST");
    while (!rsCat->eof()) {
        m.addRow({rsCat->field(ind).toText(), rsCat->field(name).toText(),
                  Global::FormatValue(rsCat->field(low)).toText(), Global::FormatValue(rsCat->field(high)).toText()});
        rsCat->moveNext();
    }
    closeRsCat();
    if (m.rows() > 2) m.removeItem(1);
    m.setColAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    dg->refresh();
}

void positions::ShowPositionRow() {
    ui::GridModel& m = dg->model();
    const int r = m.row();
    m.setCol(0);
    m.setColSel(m.cols() - 1);
    if (m.rows() <= 1) {
        dg->refresh();
        return;
    }
    if (r != prevRow_) {
        PaintOnceOnExit paintOnce(dg);
        if (prevRow_ >= 1 && prevRow_ <= m.rows() - 1) m.setRow(prevRow_);
        m.setHighlightedRow(r);
        if (r > 0) {
            m.setRow(r);
            // Taken before the offers load, so that a failing load is not retried by
            // the second notification of the same press.
            prevRow_ = r;
            LoadOffers();
        }
    }
    prevRow_ = m.row();
    dg->refresh();
}

void positions::dg_MouseDown(Qt::MouseButton button, const QPoint& pos) {
    ui::GridModel& m = dg->model();
    const int mouseRow = dg->rowAt(pos.y());
    if (mouseRow > m.fixedRows() - 1) {
        m.setRow(mouseRow);
        ShowPositionRow();
    }

    // The menu belongs to the row pressed: a press on the header, or below the last
    // row, opens none even while a data row is current.
    const int row = m.row();
    if (mouseRow <= m.fixedRows() - 1 || row <= m.fixedRows() - 1 || m.rowHeight(row) <= 0 ||
        button != Qt::RightButton)
        return;
    openRowMenu(QCursor::pos());
}

void positions::SortByHeader(ui::FlexGrid& grid, bool& ascending) {
    ui::GridModel& m = grid.model();
    const int row = grid.mouseRow();
    const int col = grid.mouseCol();
    if (row != m.fixedRows() - 1 || col <= 0) return;
    m.setCol(col);
    m.sort(col, ascending);
    ascending = !ascending;
    if (&grid == dg) {
        // The highlight moved with its row; follow it, so that the next selection
        // clears it where it now is.
        prevRow_ = std::max(m.highlightedRow(), 0);
    }
    grid.refresh();
}

// ---------------------------------------------------------------------------------
// Offers grid

void positions::LoadOffers() {
    prices->hide();
    ui::GridModel& p = prices->model();
    p.setColWidth(0, 0);
    p.addItem(QString(), 1);
    p.setRowHeight(1, 0);
    p.setRows(2);
    p.setCols(5);
    p.setText(0, 1, QStringLiteral("Регион"));
    p.setText(0, 2, QStringLiteral("Город"));
    p.setText(0, 3, QStringLiteral("Организация"));
    p.setText(0, 4, QStringLiteral("Продукция"));

    const ui::GridModel& d = dg->model();
    const QString key = d.text(d.row(), 0).trimmed();
    // The invisible placeholder of an empty list has no position to show.
    if (key.isEmpty()) return;

    std::vector<double> limits;
    rsCat = Global::Cn().open(catalogue::bandLimitsStatement(key));
    while (!rsCat->eof()) {
        const core::Value vl = rsCat->field(QStringLiteral("VL"));
        // A blank limit is no limit; the bands below read it as 0 the same way.
        if (!vl.isNull()) limits.push_back(vl.toDouble());
        rsCat->moveNext();
    }
    closeRsCat();
    std::vector<double> breaks = catalogue::bandBreaks(limits);
    const int n = static_cast<int>(breaks.size());

    p.setCols(p.cols() + n - 1);
    const QChar point = QLocale().decimalPoint().at(0);
    for (int i = 1; i < n; ++i) {
        p.setText(0, i + 4, catalogue::bandCaption(breaks[i - 1], breaks[i], point));
        p.setColAlignment(i + 4, Qt::AlignRight | Qt::AlignVCenter);
    }

    rsCat = Global::Cn().open(catalogue::offersStatement(key, BasesFilter()));
    const QString tab = QStringLiteral("\t");
    std::optional<int32_t> last;
    while (!rsCat->eof()) {
        const int32_t ind = rsCat->field(QStringLiteral("IND")).toInt32();
        if (ind != last) {
            p.addItem(QString::number(ind) + tab + rsCat->field(QStringLiteral("RGN_NM")).toText().trimmed() +
                      tab + rsCat->field(QStringLiteral("CT_NM")).toText().trimmed() + tab +
                      rsCat->field(QStringLiteral("BS_NM")).toText() + tab +
                      rsCat->field(QStringLiteral("TO_OUT")).toText());
            last = ind;
        }
        const core::Value from = rsCat->field(QStringLiteral("VL_FRM"));
        const core::Value to = rsCat->field(QStringLiteral("VL_TO"));
        const std::vector<int> covered = catalogue::bandsCovered(
            breaks, from.isNull() ? 0.0 : from.toDouble(), to.isNull() ? 0.0 : to.toDouble());
        if (!covered.empty()) {
            const QString price = Global::FormatValue(rsCat->field(QStringLiteral("CST"))).toText();
            const int row = p.rows() - 1;
            for (int i : covered) p.setText(row, i + 4, price);
        }
        rsCat->moveNext();
    }
    closeRsCat();
    if (p.rows() >= 3) p.removeItem(1);
    ui::FitColumns(*prices, *width_label, 1);
    prices->refresh();
    prices->show();
}

// ---------------------------------------------------------------------------------
// Bases filter

void positions::LoadBases() {
    bases->hide();
    ShowOnExit showBases{bases};
    ui::GridModel& m = bases->model();
    m.setCols(4);
    m.setColWidth(0, 0);
    m.setRows(0);
    rsCat = Global::Cn().open(catalogue::basesStatement());
    const QString tab = QStringLiteral("\t");
    QString region;
    while (!rsCat->eof()) {
        const QString name = rsCat->field(QStringLiteral("RGN_NM")).toText().trimmed();
        if (name != region) {
            region = name;
            m.addItem(QStringLiteral("0") + tab + region + tab + region + tab + region);
            const int r = m.rows() - 1;
            m.setRow(r);
            for (int c = 0; c < m.cols(); ++c) {
                m.setCol(c);
                m.setCellBold(r, c, true);
                m.setCellBackColor(r, c, bgr(kRegionBack));
            }
            m.setMergeRow(r, true);
        }
        m.addItem(rsCat->field(QStringLiteral("IND")).toText() + tab +
                  rsCat->field(QStringLiteral("CT_NM")).toText() + tab + QStringLiteral("V") + tab +
                  rsCat->field(QStringLiteral("BS_NM")).toText());
        rsCat->moveNext();
    }
    closeRsCat();
    bases->refresh();
}

QString positions::BasesFilter() const {
    const ui::GridModel& m = bases->model();
    std::vector<catalogue::BaseMark> rows;
    rows.reserve(static_cast<size_t>(m.rows()));
    for (int r = 0; r < m.rows(); ++r) rows.push_back({m.text(r, 0), m.text(r, 2)});
    return catalogue::BasesFilter(rows);
}

void positions::ReloadData() {
    guarded([this] {
        if (!loaded_) return;
        ui::GridModel& b = bases->model();
        QHash<QString, QString> marks;
        for (int r = 0; r < b.rows(); ++r) marks.insert(b.text(r, 0), b.text(r, 2));
        LoadBases();
        for (int r = 0; r < b.rows(); ++r)
            if (b.text(r, 0) != QLatin1String("0") && marks.contains(b.text(r, 0)))
                b.setText(r, 2, marks.value(b.text(r, 0)));
        bases->refresh();
        const ui::GridModel& d = dg->model();
        const QString selected = prevRow_ > 0 && prevRow_ < d.rows() ? d.text(prevRow_, 0) : QString();
        names_.clear();
        if (searching_ && !searchText_.isEmpty()) findSearchKeys();
        LoadPositions();
        ui::GridModel& m = dg->model();
        for (int r = m.fixedRows(); r < m.rows() && !selected.isEmpty(); ++r) {
            if (m.text(r, 0) != selected) continue;
            m.setRow(r);
            ShowPositionRow();
            break;
        }
    });
}

void positions::bases_Click() {
    ui::GridModel& m = bases->model();
    const int r = m.row();
    if (m.col() == 2 && r >= 0 && r < m.rows()) {
        m.setText(r, 2, m.text(r, 2) == QLatin1String("V") ? QString() : QStringLiteral("V"));
        bases->refresh();
    }
    LoadPositions();
}

// ---------------------------------------------------------------------------------
// Basket

void positions::basketPicture_DblClick() {
    if (const auto& showBasket = Global::dialogs().showBasket) {
        showBasket();
        Global::RefreshBasketIndicator();
    }
}

void positions::Command3_Click() {
    Global::ClearBasket();
}

// ---------------------------------------------------------------------------------
// Layout

void positions::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    guarded([this] { Form_Resize(); });
}

void positions::Form_Resize() {
    ++resizePasses_;
    catalogue::LayoutInput in;
    in.W = ui::pxToTwips(width());
    in.H = ui::pxToTwips(height());
    if (g_screenForTests.isValid()) {
        in.screenW = g_screenForTests.width();
        in.screenH = g_screenForTests.height();
    } else {
        const QScreen* scr = screen();
        const QRect avail = scr ? scr->availableGeometry() : QRect(0, 0, 1920, 1080);
        in.screenW = ui::pxToTwips(avail.width());
        in.screenH = ui::pxToTwips(avail.height());
    }
    const QWidget* top = window();
    in.mainMinimized = top != this && top->isMinimized();
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    const Qt::WindowStates st = sub ? sub->windowState() : windowState();
    in.state = (st & Qt::WindowMinimized)                            ? catalogue::WindowState::Minimized
               : (st & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? catalogue::WindowState::Maximized
                                                                     : catalogue::WindowState::Normal;
    const ui::GridModel& dm = dg->model();
    for (int c = 0; c < dm.cols(); ++c) in.dgCols.push_back(dm.colWidth(c));
    const ui::GridModel& bm = bases->model();
    for (int c = 0; c < bm.cols(); ++c) in.basesCols.push_back(bm.colWidth(c));
    in.basesTop = twips(bases).y();
    in.label2Left = twips(Label2).x();
    const QRect waiting = twips(frmWaiting);
    in.waitingW = waiting.width();
    in.waitingH = waiting.height();

    const catalogue::Layout L = catalogue::computeLayout(in);
    if (L.frBasketLeft) setLeft(Fr_basket, *L.frBasketLeft);
    if (L.correctedSize) {
        const QSize want(ui::twipsToPx(L.correctedSize->width()), ui::twipsToPx(L.correctedSize->height()));
        const int pass = ++resizePasses_;
        if (sub)
            sub->resize(sub->size() + (want - size()));
        else
            resize(want);
        // When the new size's own notification came at once, it laid the window out;
        // the rest of this pass would put back the places of the old size.
        if (resizePasses_ != pass) return;
    }
    if (!L.laidOut) return;
    const int H = L.H;

    setWidth(Shape3[0], L.shape3_0Width);
    setTop(Shape3[0], L.shape3_0Top);
    setHeight(Shape2[0], L.shape2_0Height);
    setWidth(Shape3[2], L.shape3_2Width);
    setWidth(Shape3[1], L.shape3_1Width);
    setLeft(Shape2[1], L.shape2_1Left);
    setHeight(Shape2[1], L.shape2_1Height);

    const QRect line = twips(Line2);
    place(Line2, line.x(), L.line2Y, L.line2X2 - line.x(), line.height());
    setTop(Label2, L.label2Top);
    const QRect pr = twips(prices);
    place(prices, L.pricesLeft, L.pricesTop, L.pricesWidth, pr.height());
    setHeight(dg, L.dgHeight);
    const QRect de = twips(descr);
    place(descr, de.x(), L.descrTop, L.descrWidth, de.height());

    ui::GridModel& dmw = dg->model();
    for (int c = 0; c < dmw.cols() && c < static_cast<int>(L.dgCols.size()); ++c)
        dmw.setColWidth(c, L.dgCols[static_cast<size_t>(c)]);
    dg->refresh();
    setHeight(prices, L.pricesHeight);

    setWidth(Frame1, L.frame1Width);
    setWidth(Label8, L.frame1Width - 90);  // the panel's title stays inside the panel
    setWidth(dg, L.dgWidth);
    setLeft(Frame1, L.frame1Left);
    setHeight(Frame1, L.frame1Height);
    const QRect ba = twips(bases);
    place(bases, ba.x(), ba.y(), L.basesWidth, L.basesHeight);
    ui::GridModel& bmw = bases->model();
    for (int c = 0; c < bmw.cols() && c < static_cast<int>(L.basesCols.size()); ++c)
        bmw.setColWidth(c, L.basesCols[static_cast<size_t>(c)]);
    bases->refresh();

    setLeft(Command3, L.command3Left);
    place(frmWaiting, L.waitingLeft, L.waitingTop, waiting.width(), waiting.height());
    setWidth(zag, L.zagWidth);

    // The pop-out lists wrap into further columns rather than run below the window.
    const int rows = std::max(1, (H - kPanelTop - 350 - 240) / kListSpacing);
    lb1_->setMaxRows(rows);
    lb2_->setMaxRows(rows);
}

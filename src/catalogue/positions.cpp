#include "catalogue/positions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "catalogue/catalogue_logic.h"
#include "core/errors.h"
#include "core/guard.h"
#include "core/helpers.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

namespace {

// The window last registered as the basket indicator, so that a window going away
// never unregisters another one.
positions* g_registered = nullptr;
QSize g_screenForTests;

// Designed places, twips. What the resize handler recomputes starts from here.
constexpr int kDesignW = 15000;
constexpr int kDesignH = 10500;
constexpr int kPanelTop = 480;     // top of the pop-out panels, just under Label10
constexpr int kListLeft = 75;      // entries inside a pop-out panel
constexpr int kListTop = 240;      // first entry, under the panel's caption
constexpr int kListSpacing = 270;  // designed distance between two entries
constexpr int kListHeight = 255;
constexpr int kGridTop = 840;
constexpr int kBasesTop = 300;  // bases inside Frame1, under Label8

const QString kAddToBasket = QStringLiteral("Добавить в корзину");

QColor bgr(uint32_t v) {
    return ui::bgr(v);
}

// The basket pictures, drawn rather than loaded so that the program carries no image files.
QPixmap basketPixmap(bool full) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor wicker(150, 100, 45);
    const QColor dark(95, 60, 25);
    p.setPen(QPen(dark, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8, 2, 16, 20), 0, 180 * 16);
    if (full) {
        // Rolled metal sticking out over the rim: a bar, a pipe end and a sheet.
        p.setPen(QPen(QColor(70, 80, 95), 1.0));
        p.setBrush(QColor(165, 175, 190));
        p.drawRect(QRectF(7, 5, 5, 9));
        p.setBrush(QColor(120, 135, 155));
        p.drawEllipse(QRectF(13, 6, 7, 7));
        p.setBrush(QColor(205, 125, 50));
        p.drawRect(QRectF(20, 4, 5, 10));
    }
    QPolygonF body;
    body << QPointF(3, 12) << QPointF(29, 12) << QPointF(25, 29) << QPointF(7, 29);
    p.setPen(QPen(dark, 1.5));
    p.setBrush(full ? QColor(215, 170, 100) : QColor(225, 195, 140));
    p.drawPolygon(body);
    p.setPen(QPen(wicker, 1.0));
    for (double x : {10.0, 16.0, 22.0}) p.drawLine(QPointF(x, 13), QPointF(16 + (x - 16) * 0.75, 28));
    p.drawLine(QPointF(4.5, 18), QPointF(27.5, 18));
    p.drawLine(QPointF(5.7, 23.5), QPointF(26.3, 23.5));
    return pm;
}

QFrame* decoration(QWidget* parent, const QString& name, int index) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setProperty("Index", index);
    f->setAutoFillBackground(true);
    QPalette pal = f->palette();
    pal.setColor(QPalette::Window, bgr(0x996633));
    f->setPalette(pal);
    // Shapes are painted only: clicks go through to the window behind them.
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
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
// Controls

void positions::buildControls() {
    const int W = kDesignW;
    const int H = kDesignH;
    resize(ui::twipsToPx(W), ui::twipsToPx(H));

    for (int i = 0; i < 3; ++i) Shape3[i] = decoration(this, QStringLiteral("Shape3"), i);
    for (int i = 0; i < 2; ++i) Shape2[i] = decoration(this, QStringLiteral("Shape2"), i);
    place(Shape3[1], 0, 0, W, 45);
    place(Shape3[2], 0, 720, W, 30);
    place(Shape3[0], 0, H - 570, W, 45);
    place(Shape2[0], 0, 0, 45, H);
    place(Shape2[1], W - 240, 0, 45, H);

    Label10 = label(this, QStringLiteral("Label10"), QStringLiteral("Выбор продукции"));
    QFont titleFont = Label10->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    Label10->setFont(titleFont);
    QPalette tp = Label10->palette();
    tp.setColor(QPalette::WindowText, bgr(0x800000));
    Label10->setPalette(tp);
    Label10->setCursor(Qt::PointingHandCursor);
    // The type list opens on plain movement over the title, without a button held.
    Label10->setMouseTracking(true);
    Label10->installEventFilter(this);
    place(Label10, 240, 120, 2700, 375);

    zag = label(this, QStringLiteral("zag"), QString());
    QFont zf = zag->font();
    zf.setBold(true);
    zf.setPointSizeF(zf.pointSizeF() * 1.15);
    zag->setFont(zf);
    QPalette zp = zag->palette();
    zp.setColor(QPalette::WindowText, bgr(kLabelFore));
    zag->setPalette(zp);
    place(zag, 3050, 150, W - 7800, 330);

    // The filter controls of the design take part in no query; they stay out of sight so
    // that the operator is not offered filters that filter nothing.
    Check_r1 = new QCheckBox(QStringLiteral("Размер"), this);
    Check_r1->setObjectName(QStringLiteral("Check_r1"));
    Combo_r1 = new QComboBox(this);
    Combo_r1->setObjectName(QStringLiteral("Combo_r1"));
    Check_m = new QCheckBox(QStringLiteral("Марка"), this);
    Check_m->setObjectName(QStringLiteral("Check_m"));
    Combo_m = new QComboBox(this);
    Combo_m->setObjectName(QStringLiteral("Combo_m"));
    chckProf = new QCheckBox(QStringLiteral("Профиль"), this);
    chckProf->setObjectName(QStringLiteral("chckProf"));
    cmbProf = new QComboBox(this);
    cmbProf->setObjectName(QStringLiteral("cmbProf"));
    Check_con = new QCheckBox(QStringLiteral("Контекстный поиск"), this);
    Check_con->setObjectName(QStringLiteral("Check_con"));
    shablon = new QLineEdit(this);
    shablon->setObjectName(QStringLiteral("shablon"));
    int filterLeft = 3050;
    for (QWidget* w : std::initializer_list<QWidget*>{Check_r1, Combo_r1, Check_m, Combo_m, chckProf, cmbProf,
                                                      Check_con, shablon}) {
        place(w, filterLeft, 420, 1100, 285);
        filterLeft += 1150;
        w->hide();
    }

    Command3 = new QPushButton(QStringLiteral("Очистить"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    place(Command3, W - 2230, 150, 900, 375);
    connect(Command3, &QPushButton::clicked, this, [this] { guarded([this] { Command3_Click(); }); });

    Fr_basket = new QFrame(this);
    Fr_basket->setObjectName(QStringLiteral("Fr_basket"));
    Fr_basket->setFrameShape(QFrame::StyledPanel);
    place(Fr_basket, W - 1250, 45, 960, 630);
    b_emp = label(Fr_basket, QStringLiteral("b_emp"), QString());
    b_emp->setPixmap(basketPixmap(false));
    b_full = label(Fr_basket, QStringLiteral("b_full"), QString());
    b_full->setPixmap(basketPixmap(true));
    for (QLabel* b : {b_emp, b_full}) {
        place(b, 60, 75, 480, 480);
        b->setToolTip(QStringLiteral("Корзина"));
        b->setCursor(Qt::PointingHandCursor);
        b->installEventFilter(this);
    }
    b_full->hide();
    c_bas = label(Fr_basket, QStringLiteral("c_bas"), QStringLiteral("0"));
    QFont cf = c_bas->font();
    cf.setBold(true);
    c_bas->setFont(cf);
    QPalette cp = c_bas->palette();
    cp.setColor(QPalette::WindowText, bgr(0x0000C0));
    c_bas->setPalette(cp);
    place(c_bas, 570, 165, 360, 300);
    c_bas->hide();

    dg = new ui::FlexGrid(this);
    dg->setObjectName(QStringLiteral("dg"));
    {
        ui::GridModel& m = dg->model();
        m.setFixedRows(1);
        m.setFixedCols(0);
        m.setCols(4);
        m.setRows(2);
        const int widths[] = {0, 3000, 1000, 1000};
        for (int c = 0; c < 4; ++c) m.setColWidth(c, widths[c]);
        m.setRowHeight(1, 0);
        m.setText(0, 1, QStringLiteral("Наименование"));
        m.setText(0, 2, QStringLiteral("МинЦена"));
        m.setText(0, 3, QStringLiteral("МаксЦена"));
        m.setColAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
        // Prices read best right-aligned, as numbers are.
        m.setColAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        m.setColAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    place(dg, 150, kGridTop, W - (W * 3 / 10) - 550, H - 5300);
    connect(dg, &ui::FlexGrid::currentCellChanged, this, [this] { guarded([this] { ShowPositionRow(); }); });
    connect(dg, &ui::FlexGrid::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint pos) {
                guarded([&] { dg_MouseDown(b, pos); });
            });
    connect(dg, &ui::FlexGrid::clicked, this, [this] { guarded([this] { SortByHeader(*dg, sortDg_); }); });

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, W - (W * 3 / 10) - 250, kGridTop, W * 3 / 10, H - 5000);
    Label8 = label(Frame1, QStringLiteral("Label8"), QStringLiteral("Регионы - Города - Организации"));
    QFont bold = Label8->font();
    bold.setBold(true);
    Label8->setFont(bold);
    place(Label8, 45, 0, 4400, 270);
    bases = new ui::FlexGrid(Frame1);
    bases->setObjectName(QStringLiteral("bases"));
    {
        ui::GridModel& m = bases->model();
        m.setFixedRows(0);
        m.setFixedCols(0);
        m.setCols(4);
        m.setRows(0);
        const int widths[] = {0, 1200, 400, 2800};
        for (int c = 0; c < 4; ++c) m.setColWidth(c, widths[c]);
        m.setColAlignment(2, Qt::AlignHCenter | Qt::AlignVCenter);
    }
    place(bases, 0, kBasesTop, W * 3 / 10, H - 5000 - kBasesTop);
    connect(bases, &ui::FlexGrid::clicked, this, [this] { guarded([this] { bases_Click(); }); });

    Line2 = new QFrame(this);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    Line2->setAttribute(Qt::WA_TransparentForMouseEvents);
    place(Line2, 0, H - 3885, W, 30);

    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Предложения поставщиков"));
    Label2->setFont(bold);
    place(Label2, 150, H - 3865, 4400, 240);

    descr = label(this, QStringLiteral("descr"), QString());
    place(descr, 150, H - 3100, W - 350, 300);

    prices = new ui::FlexGrid(this);
    prices->setObjectName(QStringLiteral("prices"));
    {
        ui::GridModel& m = prices->model();
        m.setFixedRows(1);
        m.setFixedCols(0);
        m.setCols(5);
        m.setRows(2);
        m.setColWidth(0, 0);
        m.setRowHeight(1, 0);
        const QStringList heads = {QStringLiteral("Регион"), QStringLiteral("Город"),
                                   QStringLiteral("Организация"), QStringLiteral("Продукция")};
        for (int c = 1; c <= 4; ++c) {
            m.setText(0, c, heads[c - 1]);
            m.setColWidth(c, c == 4 ? 4000 : 1800);
        }
    }
    place(prices, 150, H - 3645, W - 400, 3070);
    connect(prices, &ui::FlexGrid::clicked, this,
            [this] { guarded([this] { SortByHeader(*prices, sortPrices_); }); });
    descr->lower();

    frmWaiting = new QFrame(this);
    frmWaiting->setObjectName(QStringLiteral("frmWaiting"));
    frmWaiting->setFrameShape(QFrame::Box);
    Label6 =
        label(frmWaiting, QStringLiteral("Label6"), QStringLiteral("Ждите. Идёт формирование результата."));
    Label6->setFont(bold);
    Label5 = label(frmWaiting, QStringLiteral("Label5"), QStringLiteral("Это может занять несколько минут"));
    place(frmWaiting, (W - 4800) / 2, (H - 1100) / 2, 4800, 1100);
    place(Label6, 150, 200, 4500, 300);
    place(Label5, 150, 600, 4500, 300);
    frmWaiting->hide();

    frm1 = new QGroupBox(QStringLiteral("Тип продукции"), this);
    frm1->setObjectName(QStringLiteral("frm1"));
    frm1->setAutoFillBackground(true);
    place(frm1, 240, kPanelTop, 2000, 1000);
    frm1->hide();
    frm2 = new QGroupBox(QStringLiteral("Тип продукции"), this);
    frm2->setObjectName(QStringLiteral("frm2"));
    frm2->setAutoFillBackground(true);
    place(frm2, 2400, kPanelTop, 2000, 1000);
    frm2->hide();
    lb1_ = new ui::LabelArray(frm1, QStringLiteral("lb1"), kListLeft, kListTop, kListSpacing, kListHeight);
    lb2_ = new ui::LabelArray(frm2, QStringLiteral("lb2"), kListLeft, kListTop, kListSpacing, kListHeight);
    connect(lb1_, &ui::LabelArray::mouseMoved, this, [this](int i) { guarded([&] { lb1_MouseMove(i); }); });
    connect(lb2_, &ui::LabelArray::mouseMoved, this, [this](int i) { guarded([&] { lb2_MouseMove(i); }); });
    connect(lb2_, &ui::LabelArray::mousePressed, this,
            [this](int i, Qt::MouseButton) { guarded([&] { lb2_MouseDown(i); }); });

    width_label = label(this, QStringLiteral("width_label"), QString());
    width_label->hide();
}

// ---------------------------------------------------------------------------------
// Twips bookkeeping

void positions::place(QWidget* w, int left, int top, int width, int height) {
    ui::setGeometryTwips(*w, left, top, width, height);
    twips_.insert(w, QRect(left, top, width, height));
}

QRect positions::twips(const QWidget* w) const {
    const auto it = twips_.constFind(w);
    if (it != twips_.constEnd()) {
        const QRect& r = *it;
        const int x0 = ui::twipsToPx(r.x());
        const int y0 = ui::twipsToPx(r.y());
        const QRect expected(x0, y0, std::max(ui::twipsToPx(r.x() + r.width()) - x0, 0),
                             std::max(ui::twipsToPx(r.y() + r.height()) - y0, 0));
        if (expected == w->geometry()) return r;
    }
    return ui::geometryTwips(*w);
}

void positions::setLeft(QWidget* w, int v) {
    const QRect r = twips(w);
    place(w, v, r.y(), r.width(), r.height());
}

void positions::setTop(QWidget* w, int v) {
    const QRect r = twips(w);
    place(w, r.x(), v, r.width(), r.height());
}

void positions::setWidth(QWidget* w, int v) {
    const QRect r = twips(w);
    place(w, r.x(), r.y(), v, r.height());
}

void positions::setHeight(QWidget* w, int v) {
    const QRect r = twips(w);
    place(w, r.x(), r.y(), r.width(), v);
}

// ---------------------------------------------------------------------------------
// Life cycle

template <class F>
void positions::guarded(F&& handler) {
    // A failing statement (an unreadable table file, a lost folder) ends the handler
    // with one message; the window stays as usable as the data allows.
    core::guarded(handler, QStringLiteral("Не удалось прочитать данные каталога.\n"),
                  [this] { closeRsCat(); });
}

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
    }
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

void positions::lb1_MouseMove(int index) {
    Check_con->setChecked(false);
    shablon->hide();
    if (index == curType_) return;
    if (curType_ >= 0) lb1_->setColors(curType_, kLabelBack, kLabelFore);
    curType_ = index;
    lb1_->setColors(index, kLabelHotBack, kLabelHotFore);
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
    Check_con->setChecked(false);
    shablon->hide();
    if (index == curGroup_) return;
    if (curGroup_ >= 0) lb2_->setColors(curGroup_, kLabelBack, kLabelFore);
    curGroup_ = index;
    lb2_->setColors(index, kLabelHotBack, kLabelHotFore);
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

    condition_ = catalogue::positionsCondition(chosenGroup_, BasesFilter());
    rsCat = Global::Cn().open(catalogue::positionsStatement(condition_));
    const QString tab = QStringLiteral("\t");
    while (!rsCat->eof()) {
        m.addItem(rsCat->field(QStringLiteral("IND")).toText() + tab +
                  rsCat->field(QStringLiteral("PST_NM")).toText() + tab +
                  Global::FormatValue(rsCat->field(QStringLiteral("MIN_CST"))).toText() + tab +
                  Global::FormatValue(rsCat->field(QStringLiteral("MAX_CST"))).toText());
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
    ptCursor = QCursor::pos();
    if (core::popupMenus().track(hMenu, ptCursor) != 1) return;

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
        if (sub)
            sub->resize(sub->size() + (want - size()));
        else
            resize(want);
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

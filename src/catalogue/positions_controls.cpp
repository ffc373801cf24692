// The catalogue window's controls: created under their designed names, then placed from
// one table of twips.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QShortcut>
#include <QPainter>
#include <QPushButton>
#include <optional>

#include "catalogue/positions.h"
#include "catalogue/positions_design.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"
#include "ui/elided_label.h"
#include "ui/named.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

using namespace catalogue::design;

namespace {

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
    auto* f = ui::named<QFrame>(parent, name);
    f->setProperty("Index", index);
    f->setAutoFillBackground(true);
    QPalette pal = f->palette();
    pal.setColor(QPalette::Window, ui::bgr(0x996633));
    f->setPalette(pal);
    // Shapes are painted only: clicks go through to the window behind them.
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    return f;
}

// A caption in bold, scaled, and in its own colour (0xBBGGRR) where the design gives one.
template <class Label = QLabel>
QLabel* caption(QWidget* parent, const QString& name, const QString& text, double scale = 1.0,
                std::optional<uint32_t> colour = std::nullopt) {
    auto* l = ui::named<Label>(parent, name, text);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * scale);
    l->setFont(f);
    if (colour) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, ui::bgr(*colour));
        l->setPalette(pal);
    }
    return l;
}

// The fixed shape of a grid: rows, columns, widths (twips) and the header texts.
void shapeGrid(ui::GridModel& m, int fixedRows, int rows, const std::vector<int>& widths,
               const QStringList& heads = {}) {
    m.setFixedRows(fixedRows);
    m.setFixedCols(0);
    m.setCols(int(widths.size()));
    m.setRows(rows);
    for (int c = 0; c < int(widths.size()); ++c) m.setColWidth(c, widths[size_t(c)]);
    for (int c = 0; c < heads.size(); ++c) m.setText(0, c + 1, heads[c]);
    if (rows > fixedRows) m.setRowHeight(fixedRows, 0);  // the hidden placeholder row
}

}  // namespace

void positions::buildControls() {
    const int W = kWidth;
    const int H = kHeight;
    resize(ui::twipsToPx(W), ui::twipsToPx(H));

    for (int i = 0; i < 3; ++i) Shape3[i] = decoration(this, QStringLiteral("Shape3"), i);
    for (int i = 0; i < 2; ++i) Shape2[i] = decoration(this, QStringLiteral("Shape2"), i);

    Label10 = caption(this, QStringLiteral("Label10"), QStringLiteral("Выбор продукции"), 1.25, 0x800000);
    Label10->setCursor(Qt::PointingHandCursor);
    // The type list opens on plain movement over the title, without a button held.
    Label10->setMouseTracking(true);
    Label10->installEventFilter(this);
    // A long title ends in "…" and shows whole in its tool tip.
    zag = caption<ui::ElidedLabel>(this, QStringLiteral("zag"), QString(), 1.15, kLabelFore);

    // The filter controls of the design take part in no query; they stay out of sight so
    // that the operator is not offered filters that filter nothing.
    Check_r1 = ui::named<QCheckBox>(this, QStringLiteral("Check_r1"), QStringLiteral("Размер"));
    Combo_r1 = ui::named<QComboBox>(this, QStringLiteral("Combo_r1"));
    Check_m = ui::named<QCheckBox>(this, QStringLiteral("Check_m"), QStringLiteral("Марка"));
    Combo_m = ui::named<QComboBox>(this, QStringLiteral("Combo_m"));
    chckProf = ui::named<QCheckBox>(this, QStringLiteral("chckProf"), QStringLiteral("Профиль"));
    cmbProf = ui::named<QComboBox>(this, QStringLiteral("cmbProf"));
    Check_con = ui::named<QCheckBox>(this, QStringLiteral("Check_con"), QStringLiteral("Контекстный поиск"));
    shablon = ui::named<QLineEdit>(this, QStringLiteral("shablon"));
    shablon->setToolTip(QStringLiteral("Слова из названия позиции: «арм 12 А500С»"));
    shablon->setClearButtonEnabled(true);
    shablon->installEventFilter(this);  // Esc leaves the search
    connect(Check_con, &QCheckBox::toggled, this, [this] { guarded([this] { Check_con_Click(); }); });
    connect(shablon, &QLineEdit::textChanged, this, [this] { guarded([this] { shablon_Change(); }); });
    // Ctrl+F anywhere in the window, also while the focus is on its frame: the catalogue
    // must be the frame's current window, and no other top-level window may be active.
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::ApplicationShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        if (sub && sub->mdiArea() && sub->mdiArea()->currentSubWindow() != sub) return;
        if (QWidget* active = QApplication::activeWindow(); active && active != window()) return;
        guarded([this] { enterSearch(); });
    });

    Command3 = ui::named<QPushButton>(this, QStringLiteral("Command3"), QStringLiteral("Очистить"));
    connect(Command3, &QPushButton::clicked, this, [this] { guarded([this] { Command3_Click(); }); });

    Fr_basket = ui::named<QFrame>(this, QStringLiteral("Fr_basket"));
    Fr_basket->setFrameShape(QFrame::StyledPanel);
    b_emp = ui::named<QLabel>(Fr_basket, QStringLiteral("b_emp"));
    b_emp->setPixmap(basketPixmap(false));
    b_full = ui::named<QLabel>(Fr_basket, QStringLiteral("b_full"));
    b_full->setPixmap(basketPixmap(true));
    for (QLabel* b : {b_emp, b_full}) {
        b->setToolTip(QStringLiteral("Корзина"));
        b->setCursor(Qt::PointingHandCursor);
        b->installEventFilter(this);
    }
    c_bas = caption(Fr_basket, QStringLiteral("c_bas"), QStringLiteral("0"), 1.0, 0x0000C0);
    // Tab reaches the basket too; Enter or Space opens it as the double click does.
    Fr_basket->setFocusPolicy(Qt::TabFocus);
    Fr_basket->setStyleSheet(QStringLiteral("QFrame#Fr_basket { border: 1px solid palette(mid); }"
                                            "QFrame#Fr_basket:focus { border: 2px solid palette(highlight); }"));
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        auto* open = new QShortcut(QKeySequence(key), Fr_basket);
        open->setContext(Qt::WidgetShortcut);
        connect(open, &QShortcut::activated, this, [this] { guarded([this] { basketPicture_DblClick(); }); });
    }

    dg = ui::named<ui::FlexGrid>(this, QStringLiteral("dg"));
    shapeGrid(dg->model(), 1, 2, {0, 3000, 1000, 1000},
              {QStringLiteral("Наименование"), QStringLiteral("МинЦена"), QStringLiteral("МаксЦена")});
    dg->model().setColAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    // Prices read best right-aligned, as numbers are.
    dg->model().setColAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    dg->model().setColAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    connect(dg, &ui::FlexGrid::currentCellChanged, this, [this] { guarded([this] { ShowPositionRow(); }); });
    connect(dg, &ui::FlexGrid::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint pos) {
                guarded([&] { dg_MouseDown(b, pos); });
            });
    connect(dg, &ui::FlexGrid::clicked, this, [this] { guarded([this] { SortByHeader(*dg, sortDg_); }); });
    connect(dg, &ui::FlexGrid::keyPressed, this, [this](int key) { guarded([&] { dg_KeyDown(key); }); });

    Frame1 = ui::named<QFrame>(this, QStringLiteral("Frame1"));
    Label8 = caption(Frame1, QStringLiteral("Label8"), QStringLiteral("Регионы - Города - Организации"));
    bases = ui::named<ui::FlexGrid>(Frame1, QStringLiteral("bases"));
    shapeGrid(bases->model(), 0, 0, {0, 1200, 400, 2800});
    bases->model().setColAlignment(2, Qt::AlignHCenter | Qt::AlignVCenter);
    connect(bases, &ui::FlexGrid::clicked, this, [this] { guarded([this] { bases_Click(); }); });
    connect(bases, &ui::FlexGrid::keyPressed, this, [this](int key) { guarded([&] { bases_KeyDown(key); }); });

    Line2 = ui::named<QFrame>(this, QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    Line2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label2 = caption(this, QStringLiteral("Label2"), QStringLiteral("Предложения поставщиков"));
    descr = ui::named<QLabel>(this, QStringLiteral("descr"));

    prices = ui::named<ui::FlexGrid>(this, QStringLiteral("prices"));
    shapeGrid(prices->model(), 1, 2, {0, 1800, 1800, 1800, 4000},
              {QStringLiteral("Регион"), QStringLiteral("Город"), QStringLiteral("Организация"),
               QStringLiteral("Продукция")});
    connect(prices, &ui::FlexGrid::clicked, this,
            [this] { guarded([this] { SortByHeader(*prices, sortPrices_); }); });

    frmWaiting = ui::named<QFrame>(this, QStringLiteral("frmWaiting"));
    frmWaiting->setFrameShape(QFrame::Box);
    Label6 =
        caption(frmWaiting, QStringLiteral("Label6"), QStringLiteral("Ждите. Идёт формирование результата."));
    Label5 = ui::named<QLabel>(frmWaiting, QStringLiteral("Label5"),
                               QStringLiteral("Это может занять несколько минут"));

    frm1 = ui::named<QGroupBox>(this, QStringLiteral("frm1"), QStringLiteral("Тип продукции"));
    frm2 = ui::named<QGroupBox>(this, QStringLiteral("frm2"), QStringLiteral("Тип продукции"));
    for (QGroupBox* f : {frm1, frm2}) f->setAutoFillBackground(true);
    lb1_ = new ui::LabelArray(frm1, QStringLiteral("lb1"), kListLeft, kListTop, kListSpacing, kListHeight);
    lb2_ = new ui::LabelArray(frm2, QStringLiteral("lb2"), kListLeft, kListTop, kListSpacing, kListHeight);
    connect(lb1_, &ui::LabelArray::mouseMoved, this, [this](int i) { guarded([&] { lb1_MouseMove(i); }); });
    connect(lb2_, &ui::LabelArray::mouseMoved, this, [this](int i) { guarded([&] { lb2_MouseMove(i); }); });
    connect(lb2_, &ui::LabelArray::mousePressed, this,
            [this](int i, Qt::MouseButton) { guarded([&] { lb2_MouseDown(i); }); });
    width_label = ui::named<QLabel>(this, QStringLiteral("width_label"));

    // Every control's designed place (left, top, width, height).
    const int right = W * 3 / 10;  // the width of the bases panel
    const struct {
        QWidget* w;
        int left, top, width, height;
    } places[] = {
        {Shape3[1], 0, 0, W, 45},
        {Shape3[2], 0, 720, W, 30},
        {Shape3[0], 0, H - 570, W, 45},
        {Shape2[0], 0, 0, 45, H},
        {Shape2[1], W - 240, 0, 45, H},
        {Label10, 240, 120, 2700, 375},
        {zag, 3050, 150, W - 7800, 330},
        {Check_r1, 3050, 420, 1100, 285},
        {Combo_r1, 4200, 420, 1100, 285},
        {Check_m, 5350, 420, 1100, 285},
        {Combo_m, 6500, 420, 1100, 285},
        {chckProf, 7650, 420, 1100, 285},
        {cmbProf, 8800, 420, 1100, 285},
        // The search sits in the title row, between the title and the basket.
        {Check_con, 3050, 480, 2500, 240},
        {shablon, 5600, 480, 3400, 300},
        {Command3, W - 2230, 150, 975, 375},
        {Fr_basket, W - 1250, 45, 960, 630},
        {b_emp, 60, 75, 480, 480},
        {b_full, 60, 75, 480, 480},
        {c_bas, 570, 165, 360, 300},
        {dg, 150, kGridTop, W - right - 550, H - 5300},
        {Frame1, W - right - 250, kGridTop, right, H - 5000},
        {Label8, 45, 0, 4400, 270},
        {bases, 0, kBasesTop, right, H - 5000 - kBasesTop},
        {Line2, 0, H - 3885, W, 30},
        {Label2, 150, H - 3865, 4400, 220},
        {descr, 150, H - 3100, W - 350, 300},
        {prices, 150, H - 3645, W - 400, 3070},
        {frmWaiting, (W - 4800) / 2, (H - 1100) / 2, 4800, 1100},
        {Label6, 150, 200, 4500, 300},
        {Label5, 150, 600, 4500, 300},
        {frm1, 240, kPanelTop, 2000, 1000},
        {frm2, 2400, kPanelTop, 2000, 1000},
    };
    for (const auto& p : places) place(p.w, p.left, p.top, p.width, p.height);
    descr->lower();
    // Tab walks the search, the lists of positions, offers and bases, the button and the basket.
    QWidget* order[] = {Check_con, shablon, dg, prices, bases, Command3, Fr_basket};
    for (size_t k = 0; k + 1 < std::size(order); ++k) setTabOrder(order[k], order[k + 1]);
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{Check_r1, Combo_r1, Check_m, Combo_m, chckProf, cmbProf, shablon, b_full, c_bas, frmWaiting, frm1, frm2, width_label, descr})
        hidden->hide();
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

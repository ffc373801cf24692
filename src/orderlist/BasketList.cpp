#include "orderlist/BasketList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "core/errors.h"
#include "core/guard.h"
#include "global/global.h"
#include "orderlist/basket_list_logic.h"
#include "store/connection.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"
#include "ui/named.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

namespace {

// Designed client area, twips.
constexpr int kDesignWidth = 10290;
constexpr int kDesignHeight = 4215;
constexpr int kGridTop = 405;
// The grid keeps at least this much room to the window's right and bottom edges.
constexpr int kGridMargin = 45;
// Right of "Вывести" with the designed gap.
constexpr int kCommand3MinLeft = 6100;

const QString kTitle = QStringLiteral("Обработка заявок");

// The hourglass over the whole application, taken back exactly once however the load ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void restore() {
        if (on_) QApplication::restoreOverrideCursor();
        on_ = false;
    }

private:
    bool on_ = true;
};

// A grid cell's text as an order number; false for the placeholder row and anything else
// that is not a whole number.
bool orderNumber(const QString& text, int32_t* out) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (ok) *out = n;
    return ok;
}

// A tab inside a stored text would split it across cells of the row being added.
QString cellText(const core::Value& v) {
    QString s = Global::ValueOrDefault(v, core::Value::text(QString()));
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return s;
}

}  // namespace

BasketList::BasketList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BasketList"));
    setWindowTitle(kTitle);
    ui::resizeTwips(*this, kDesignWidth, kDesignHeight);
    // The designed places were measured for an 8-point face; a larger one would clip the
    // dates in their pickers.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);

    auto makeLabel = [this](int index, const QString& caption) {
        auto* l = ui::named<QLabel>(this, QStringLiteral("Label1"), caption);
        l->setProperty("Index", index);
        return l;
    };
    auto makeDate = [this](const char* name) {
        auto* d = ui::named<QDateEdit>(this, QLatin1String(name));
        d->setDisplayFormat(QStringLiteral("yyyy.MM.dd"));
        d->setCalendarPopup(true);
        return d;
    };
    Label1[0] = makeLabel(0, QStringLiteral("С:"));
    DTP1 = makeDate("DTP1");
    Label1[1] = makeLabel(1, QStringLiteral("по:"));
    DTP2 = makeDate("DTP2");

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->installEventFilter(this);
    Combo1->view()->installEventFilter(this);

    Command4 = new QPushButton(QStringLiteral("&Вывести"), this);
    Command4->setObjectName(QStringLiteral("Command4"));

    width_label = new QLabel(this);
    width_label->setObjectName(QStringLiteral("width_label"));
    width_label->hide();

    Command3 = new QPushButton(QStringLiteral("&Очистить корзину"), this);
    Command3->setObjectName(QStringLiteral("Command3"));

    MFG = new ui::FlexGrid(this);
    MFG->setObjectName(QStringLiteral("MFG"));
    // The window scrolls the list itself, by its own step (MouseWheel).
    MFG->setWheelScrolls(false);

    ui::setGeometryTwips(*Label1[0], 0, 90, 195, 195);
    // Designed 1230 wide, which clips the last digit of the date here; it may take the
    // gap up to the "по:" label.
    ui::setGeometryTwips(*DTP1, 240, 45, 1335, 315);
    ui::setGeometryTwips(*Label1[1], 1575, 90, 285, 240);
    ui::setGeometryTwips(*DTP2, 1890, 45, 1455, 315);
    ui::setGeometryTwips(*Combo1, 3420, 45, 1560, 315);
    ui::setGeometryTwips(*Command4, 5040, 45, 1000, 330);
    ui::setGeometryTwips(*width_label, 6480, 90, 855, 195);
    // As wide as its caption needs, so that it fits beside "Вывести" in the narrowest window.
    const int captionW = Command3->fontMetrics().horizontalAdvance(Command3->text().remove(QLatin1Char('&')));
    ui::setGeometryTwips(*Command3, 7380, 45, ui::pxToTwips(captionW + 10), 330);
    ui::setGeometryTwips(*MFG, 0, kGridTop, 10245, 3765);

    connect(Command4, &QPushButton::clicked, this, [this] { core::guarded([this] { LoadList(); }); });
    connect(Command3, &QPushButton::clicked, this,
            [this] { core::guarded([this] { ClearBasketCommand(); }); });
    connect(MFG, &ui::FlexGrid::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers, QPoint pos) {
                core::guarded([&] { OnGridPress(b, pos); });
            });
    connect(MFG, &ui::FlexGrid::doubleClicked, this,
            [this] { core::guarded([this] { OnGridDoubleClick(); }); });
    connect(MFG, &ui::FlexGrid::keyPressed, this,
            [this](int key, Qt::KeyboardModifiers) { core::guarded([&] { OnGridKey(key); }); });
    // The arrow keys move the whole row's selection, as a press does.
    connect(MFG, &ui::FlexGrid::currentCellChanged, this, [this] { SelectRow(MFG->model().row()); });
    // F5 lists anew while the focus is anywhere in the window.
    auto* reload = new QShortcut(QKeySequence(Qt::Key_F5), this);
    reload->setContext(Qt::WidgetWithChildrenShortcut);
    connect(reload, &QShortcut::activated, Command4, &QPushButton::click);
    connect(MFG, &ui::FlexGrid::wheelTurned, this, [this](int delta) {
        // A sideways wheel has no vertical turn and must not scroll the list down.
        if (delta != 0) core::guarded([&] { MouseWheel(0, delta, 0, 0); });
    });

    // Window load.
    menu_ = {{1, QStringLiteral("Редактировать")}, {2, QStringLiteral("Удалить")}};
    const QDate today = QDate::currentDate();
    DTP1->setDate(today.addDays(-1));
    DTP2->setDate(today);
    Combo1->addItems(orderlist::stateFilterItems());
    Combo1->setCurrentIndex(0);

    ui::GridModel& m = MFG->model();
    m.setCols(colCount);
    const QStringList headers = {QString(),
                                 QStringLiteral("NЗаявки"),
                                 QStringLiteral("Дата"),
                                 QStringLiteral("Клиент"),
                                 QStringLiteral("Статус"),
                                 QStringLiteral("КомЗай")};
    for (int c = 0; c < colCount; ++c) m.setText(0, c, headers[c]);
    core::guarded([this] { LoadList(); });
    m.setColWidth(colKey, 0);
    MFG->refresh();
}

BasketList::~BasketList() {
    menu_.clear();
    try {
        if (rs_ && rs_->isOpen()) rs_->close();
    } catch (const std::exception&) {
        Global::ReportError(QStringLiteral("Ошибка при закрытии списка заявок!"));
    }
}

QSize BasketList::sizeHint() const {
    return QSize(ui::twipsToPx(kDesignWidth), ui::twipsToPx(kDesignHeight));
}

QMdiSubWindow* BasketList::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

// ---------------------------------------------------------------------------------
// The list

void BasketList::LoadList() {
    if (DTP1->date().daysTo(DTP2->date()) < 0) {
        core::showMessage(QStringLiteral("Неверный диапазон!"));
        return;
    }
    MFG->hide();
    WaitCursor wait;

    const QString sql = orderlist::listStatement(Combo1->currentText(), DTP1->date(), DTP2->date());
    ui::GridModel& m = MFG->model();
    m.addItem(QString(), 1);
    m.setRowHeight(1, 0);
    m.setRows(2);

    QString failure;
    try {
        rs_ = Global::Cn().open(sql);
        while (!rs_->eof()) {
            const core::Value ind = rs_->field(QStringLiteral("IND"));
            const QStringList cells = {cellText(ind),
                                       cellText(ind),
                                       cellText(rs_->field(QStringLiteral("CR_DT"))),
                                       cellText(rs_->field(QStringLiteral("CGT_NM"))),
                                       orderlist::stateCaption(rs_->field(QStringLiteral("IND_STT"))),
                                       cellText(rs_->field(QStringLiteral("CMT")))};
            m.addItem(cells.join(QLatin1Char('\t')));
            rs_->moveNext();
        }
        rs_->close();
    } catch (const std::exception& e) {
        failure = core::errorText(e);
        try {
            if (rs_ && rs_->isOpen()) rs_->close();
        } catch (const std::exception&) {
        }
    }

    // The grid always keeps one data row: the invisible placeholder when no order came.
    if (m.rows() >= 3) m.removeItem(1);
    m.setCol(colKey);
    m.setColAlignment(colComment, Qt::AlignLeft | Qt::AlignTop);
    wait.restore();
    ui::FitColumns(*MFG, *width_label, 1);
    MFG->refresh();
    MFG->show();

    if (!failure.isEmpty())
        core::showMessage(QStringLiteral("Не удалось загрузить список заявок:\n") + failure);
}

void BasketList::SortByHeader(int col) {
    ui::GridModel& m = MFG->model();
    if (col < 0 || col >= m.cols()) return;
    m.setCol(col);
    if (col == sortCol_ && sortDir_ != 2) {
        m.sort(col, false);
        sortDir_ = 2;
    } else {
        m.sort(col, true);
        sortDir_ = 1;
    }
    sortCol_ = col;
    MFG->refresh();
}

// ---------------------------------------------------------------------------------
// Commands on the listed orders

void BasketList::OnGridPress(Qt::MouseButton button, const QPoint& pos) {
    const int row = MFG->rowAt(pos.y());
    if (!SelectRow(row)) return;
    if (button == Qt::RightButton) ShowMenu(MFG->viewport()->mapToGlobal(pos));
}

void BasketList::OnGridKey(int key) {
    const int row = MFG->model().row();
    if (key == Qt::Key_Delete) DeleteThroughService();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && SelectRow(row)) OpenOrder();
    if (key == Qt::Key_Menu && SelectRow(row)) {
        // Under the row's first shown cell, where the operator looks.
        MFG->ensureCellVisible(row, colNumber);
        ShowMenu(MFG->viewport()->mapToGlobal(MFG->cellRect(row, colNumber).bottomLeft()));
    }
}

void BasketList::ShowMenu(const QPoint& at) {
    const int id = core::popupMenus().track(menu_, at);
    if (id == 1)
        OpenOrder();
    else if (id == 2)
        DeleteOrder();
}

bool BasketList::SelectRow(int row) {
    ui::GridModel& m = MFG->model();
    if (row < m.fixedRows() || row >= m.rows() || m.rowHeight(row) == 0) return false;
    m.setRow(row);
    m.setCol(colKey);
    m.setColSel(m.cols() - 1);
    MFG->refresh();
    return true;
}

void BasketList::OnGridDoubleClick() {
    const int row = MFG->mouseRow();
    if (row == 0) {
        SortByHeader(MFG->mouseCol());
    } else if (row >= 1) {
        // The grid made the clicked cell current again; the whole row stays selected.
        SelectRow(row);
        OpenOrder();
    }
}

void BasketList::OpenOrder() {
    try {
        ui::GridModel& m = MFG->model();
        const int row = m.row();
        if (row < m.fixedRows()) return;
        clsZak& order = Global::CurrentOrder();
        const int32_t previous = order.order_ind;
        int32_t number = 0;
        if (!orderNumber(m.text(row, colKey), &number))
            throw core::ConversionError(QStringLiteral("В строке нет номера заявки."));
        if (number != previous) order.LoadOrder(number);
        const auto& showBasket = Global::dialogs().showBasket;
        if (!showBasket) throw core::Error(QStringLiteral("Окно корзины недоступно."));
        showBasket();
        for (int r = m.fixedRows(); r < m.rows(); ++r) {
            int32_t n = 0;
            if (orderNumber(m.text(r, colKey), &n) && (n == number || n == previous)) ReloadStr();
        }
    } catch (const std::exception&) {
        Global::ReportError(QStringLiteral("Ошибка открытия заявки"));
    }
}

void BasketList::DeleteOrder() {
    if (!core::askYesNo(QStringLiteral("Вы действительно хотите удалить выделенную заявку?"),
                        QStringLiteral("Удаление")))
        return;
    ui::GridModel& m = MFG->model();
    if (m.row() < m.fixedRows()) return;
    int32_t number = 0;
    if (!orderNumber(m.text(m.row(), colKey), &number)) return;
    const QString n = QString::number(number);
    // A failure on the way leaves the row listed.
    try {
        orderlist::deleteStoredOrder(Global::Cn(), number);
    } catch (const std::exception& e) {
        core::showMessage(
            QStringLiteral("Не удалось удалить заявку ") + n + QStringLiteral(":\n") + core::errorText(e),
            QStringLiteral("Удаление"));
        return;
    }
    if (m.rows() == m.fixedRows() + 1) {
        // Keep an invisible placeholder so that the grid still has a data row.
        m.addItem(QString(), m.fixedRows());
        m.setRowHeight(m.fixedRows(), 0);
        m.setRow(m.row() + 1);
    }
    m.removeItem(m.row());
    MFG->refresh();
}

void BasketList::DeleteThroughService() {
    ui::GridModel& m = MFG->model();
    const int row = m.row();
    if (row < m.fixedRows() || row >= m.rows() || m.rowHeight(row) < 1) return;
    if (!core::askYesNo(QStringLiteral("Вы действительно хотите удалить выделенную строку?"),
                        QStringLiteral("Удаление")))
        return;
    bool deleted = false;
    try {
        int32_t number = 0;
        if (!orderNumber(m.text(row, colKey), &number))
            throw core::ConversionError(QStringLiteral("В строке нет номера заявки."));
        auto rs =
            Global::Cn().open(orderlist::delAppStatement(QString::number(number), Global::CurrentUserName()));
        deleted = rs->field(QStringLiteral("nb")).toDouble() > 0;
        rs->close();
    } catch (const std::exception&) {
        core::showMessage(QStringLiteral("Ошибка удаления строки"), QStringLiteral("Ошибка"));
        return;
    }
    if (!deleted) {
        core::showMessage(QStringLiteral("Вы не можете удалять чужие заявки!"), QStringLiteral("Ошибка"));
        return;
    }
    // The service owns the order now; the row stays, hidden, until the next load.
    m.setRowHeight(row, 0);
    MFG->refresh();
}

void BasketList::ReloadStr() {
    try {
        if (rs_ && rs_->isOpen()) rs_->close();
        const ui::GridModel& m = MFG->model();
        if (lastRefreshedRow_ >= 1 && lastRefreshedRow_ < m.rows() &&
            !m.text(lastRefreshedRow_, colKey).trimmed().isEmpty())
            RefreshRow(lastRefreshedRow_);
        const int row = m.row();
        if (row > 0 && !m.text(row, colKey).trimmed().isEmpty()) {
            RefreshRow(row);
            lastRefreshedRow_ = row;
        }
    } catch (const std::exception&) {
        Global::ReportError(QStringLiteral("Ошибка перегрузки строки!"));
    }
}

void BasketList::RefreshRow(int row) {
    ui::GridModel& m = MFG->model();
    rs_ = Global::Cn().open(orderlist::sngAppStatement(DTP1->date(), DTP2->date(), m.text(row, colKey)));
    if (!rs_->eof()) {
        // The service also sends the department ("otd"), which the list has no column for.
        const core::Value none = core::Value::text(QString());
        const QString client = Global::ValueOrDefault(rs_->field(QStringLiteral("name_k")), none);
        const QString state = Global::ValueOrDefault(rs_->field(QStringLiteral("state")), none);
        const QString comment = Global::ValueOrDefault(rs_->field(QStringLiteral("cmt")), none);
        m.setText(row, colClient, client);
        m.setText(row, colState, orderlist::refreshedStateCaption(state));
        m.setText(row, colComment, comment);
        MFG->refresh();
    }
    rs_->close();
}

void BasketList::ClearBasketCommand() {
    Global::ClearBasket();
    ReloadStr();
}

void BasketList::MouseWheel(int MouseKeys, int Rotation, int Xpos, int Ypos) {
    Q_UNUSED(MouseKeys);
    Q_UNUSED(Xpos);
    Q_UNUSED(Ypos);
    try {
        const ui::GridModel& m = MFG->model();
        if (m.rows() == 0) return;
        const int step = orderlist::wheelStep(ui::heightTwips(*MFG), m.rowHeight(1));
        MFG->setTopRow(orderlist::wheelTopRow(m.topRow(), step, Rotation, m.rows() - 1));
    } catch (const std::exception&) {
        // Scrolling is a convenience; a failure leaves the view where it was.
    }
}

// ---------------------------------------------------------------------------------
// Window events

bool BasketList::eventFilter(QObject* watched, QEvent* event) {
    // The state filter is chosen from its list only: typed characters would jump to a
    // matching item; the arrow keys still step through the list.
    if ((watched == Combo1 || watched == Combo1->view()) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint()) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BasketList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    core::guarded([this] { FitToWindow(); });
}

void BasketList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    core::guarded([this] {
        if (!placed_) {
            placed_ = true;
            // The keyboard starts in the list: the arrows and Enter work at once.
            MFG->setFocus(Qt::OtherFocusReason);
            if (QMdiSubWindow* sub = subWindow()) {
                // The list opens 100 twips into the frame's area and fills the rest of it
                // (not below its bounds); the frame may then put it where it was closed.
                const QWidget* area = sub->parentWidget();
                const int offset = ui::twipsToPx(100);
                const QSize bound(ui::twipsToPx(kMinWidth), ui::twipsToPx(kMinHeight));
                if (area) sub->resize((area->size() - QSize(offset, offset)).expandedTo(bound));
                ui::moveTwips(*sub, 100, 100);
            }
        }
        FitToWindow();
    });
}

void BasketList::FitToWindow() {
    QWidget* frame = subWindow();
    if (!frame) frame = this;
    if (frame->window()->isMinimized()) return;
    auto outerSize = [this, frame] {
        if (frame != this || !isWindow()) return frame->size();
        return frameGeometry().size();
    };
    // The bounds are compared in pixels: 8000 twips is not a whole number of pixels, and
    // a window held at the bound must count as being at it.
    const QSize bound(ui::twipsToPx(kMinWidth), ui::twipsToPx(kMinHeight));

    QSize outer = outerSize();
    const bool normal = !frame->isMinimized() && !frame->isMaximized();
    if (normal && !fitting_ && (outer.width() < bound.width() || outer.height() < bound.height())) {
        fitting_ = true;
        const QSize extra = frame == this ? outer - size() : QSize(0, 0);
        frame->resize(outer.expandedTo(bound) - extra);
        fitting_ = false;
        outer = outerSize();
    }
    if (outer.width() < bound.width() || outer.height() < bound.height()) return;
    const int w = std::max(ui::pxToTwips(outer.width()), kMinWidth);
    const int h = std::max(ui::pxToTwips(outer.height()), kMinHeight);
    // The window's outer size counts its frame; the grid must still end inside the client area.
    const int clientW = ui::widthTwips(*this);
    const int clientH = ui::heightTwips(*this);
    const int gridW = std::min(w - 200, clientW - kGridMargin);
    const int gridH = std::min(h - 900, clientH - kGridTop - kGridMargin);
    ui::resizeTwips(*MFG, std::max(gridW, 0), std::max(gridH, 0));
    // Near the narrowest width the rule would slide "Очистить корзину" over "Вывести".
    // The rule's place, but never past the client area's edge nor over "Вывести".
    const int fitLeft = clientW - ui::widthTwips(*Command3) - kGridMargin;
    ui::setLeftTwips(*Command3, std::max(std::min(w - 1770, fitLeft), kCommand3MinLeft));
}

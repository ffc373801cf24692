#include "app/mdi_zelvorin.h"

#include "app/refresh_prices.h"
#include "global/global.h"
#include "catalogue/positions.h"
#include "core/guard.h"
#include "core/errors.h"
#include "core/seams.h"
#include "db/Form1.h"
#include "orderlist/BasketList.h"
#include "store/connection.h"
#include "store/dbf_connection.h"
#include "app/window_memory.h"
#include "ui/program_icon.h"
#include "ui/twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

QString mainCaption(int major, int minor, int revision) {
    return QStringLiteral(" Цены на металлопрокат    ver. ") + QString::number(major) + QLatin1Char('.') +
           QString::number(minor) + QLatin1Char('.') + QString::number(revision);
}

QString localConnectionString(const QString& dataSource) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + dataSource +
           QStringLiteral(";Extended Properties=dBASE IV");
}

QString defaultDataSource() {
    QString folder = QCoreApplication::applicationDirPath();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QStringLiteral("\\DB");
}

mdi_zelvorin::mdi_zelvorin(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mdi_zelvorin"));
    setWindowTitle(QStringLiteral("Подбор выгодного предложения металлопроката"));
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mdi_);

    QMenuBar* bar = menuBar();
    positions_cl = bar->addAction(QStringLiteral("&Металлопродукция"));
    positions_cl->setObjectName(QStringLiteral("positions_cl"));
    apps_cl = bar->addAction(QStringLiteral("&Список заказов"));
    apps_cl->setObjectName(QStringLiteral("apps_cl"));
    // The two commands the operator does not get: shown greyed, never selectable.
    basket_cl = bar->addAction(QStringLiteral("&Корзина"));
    basket_cl->setObjectName(QStringLiteral("basket_cl"));
    basket_cl->setEnabled(false);
    sinch_cl = bar->addAction(QStringLiteral("С&инхронизация"));
    sinch_cl->setObjectName(QStringLiteral("sinch_cl"));
    sinch_cl->setEnabled(false);
    refresh_cl = bar->addAction(QStringLiteral("Обновить &цены"));
    refresh_cl->setObjectName(QStringLiteral("refresh_cl"));
    refresh_cl->setEnabled(false);
    connect(refresh_cl, &QAction::triggered, this, &mdi_zelvorin::refresh_cl_Click);
    connect(positions_cl, &QAction::triggered, this, &mdi_zelvorin::positions_cl_Click);
    connect(apps_cl, &QAction::triggered, this, &mdi_zelvorin::apps_cl_Click);
    connect(basket_cl, &QAction::triggered, this, &mdi_zelvorin::basket_cl_Click);
    connect(sinch_cl, &QAction::triggered, this, &mdi_zelvorin::sinch_cl_Click);

    setWindowIcon(ui::programIcon());
    auto* about = new QAction(QStringLiteral("О программе"), this);
    about->setObjectName(QStringLiteral("about"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &mdi_zelvorin::about_Click);
    addAction(about);

    auto* quit = new QAction(QStringLiteral("Выход"), this);
    quit->setObjectName(QStringLiteral("quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

mdi_zelvorin::~mdi_zelvorin() = default;

void mdi_zelvorin::Form_Load(const QString& connectionString, std::unique_ptr<store::Connection> central) {
    Global::CatalogueOpen = 0;
    std::unique_ptr<store::Connection> local = store::openConnectionString(connectionString);
    refresh_cl->setEnabled(central != nullptr);
    const QStringList unreadable = local->unreadableTables();
    Global::setCn(std::make_unique<store::RoutedConnection>(std::move(local), std::move(central)));
    if (!unreadable.isEmpty())
        core::showMessage(QStringLiteral("Не все таблицы базы данных читаются; окна, которым они нужны, "
                                         "сообщат об этом и не покажут их данные.\n") +
                          unreadable.join(QLatin1Char('\n')));
    Global::CurrentOrder().Init();
    setWindowTitle(mainCaption(ZELVORIN_VERSION_MAJOR, ZELVORIN_VERSION_MINOR, ZELVORIN_VERSION_PATCH));
    try {
        Global::Cn().execute(QStringLiteral("UPDATE TBL_ORGS SET IND=0 WHERE IND=0"));
    } catch (const std::exception&) {
        // Only a probe of the database; a folder without TBL_ORGS still works.
    }
}

QMdiSubWindow* mdi_zelvorin::subWindowOf(QWidget* child) const {
    for (QMdiSubWindow* s : mdi_->subWindowList())
        if (s->widget() == child)
            return s;
    return nullptr;
}

template <class W>
W* mdi_zelvorin::showChild(QPointer<W>& slot) {
    if (slot) {
        if (QMdiSubWindow* sub = subWindowOf(slot)) {
            if (sub->isMinimized())
                sub->showNormal();
            mdi_->setActiveSubWindow(sub);
            sub->raise();
        }
        return slot;
    }
    auto* w = new W(nullptr);
    slot = w;
    QMdiSubWindow* sub = mdi_->addSubWindow(w);
    // Closing the child destroys it; the next choice of the command builds it anew.
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    // The catalogue fills the frame's area, but not below the 12000 x 8500 twips its layout
    // needs; the order list places itself when shown. Either opens where it was closed
    // last time when that is known.
    const QSize decoration = sub->size() - w->size();
    if (qobject_cast<positions*>(w))
        sub->resize(mdi_->viewport()->size().expandedTo(QSize(ui::twipsToPx(12000), ui::twipsToPx(8500)) + decoration));
    sub->show();
    app::placeChild(*sub, w->objectName(), sub->geometry());
    mdi_->setActiveSubWindow(sub);
    return w;
}

bool mdi_zelvorin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close)
        if (auto* sub = qobject_cast<QMdiSubWindow*>(watched); sub && sub->widget())
            app::rememberChild(*sub, sub->widget()->objectName());
    return QMainWindow::eventFilter(watched, event);
}

void mdi_zelvorin::closeEvent(QCloseEvent* event) {
    app::rememberMainWindow(*this);
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (sub->widget()) app::rememberChild(*sub, sub->widget()->objectName());
    QMainWindow::closeEvent(event);
}

void mdi_zelvorin::about_Click() {
    core::showInformation(QStringLiteral("Цены на металлопрокат\nВерсия %1.%2.%3\n\n"
                                     "Каталог металлопроката с ценами поставщиков, сравнение предложений "
                                     "по складам, корзина и заявки.")
                          .arg(ZELVORIN_VERSION_MAJOR)
                          .arg(ZELVORIN_VERSION_MINOR)
                          .arg(ZELVORIN_VERSION_PATCH),
                      QStringLiteral("О программе"));
}

positions* mdi_zelvorin::showPositions() { return showChild(positions_); }

BasketList* mdi_zelvorin::showBasketList() { return showChild(basketList_); }

Form1* mdi_zelvorin::showForm1() {
    if (!form1_)
        form1_ = new Form1(Global::Cn(), this);
    form1_->show();
    form1_->raise();
    form1_->activateWindow();
    return form1_;
}

void mdi_zelvorin::positions_cl_Click() {
    core::guarded([this] { showPositions(); });
}

void mdi_zelvorin::apps_cl_Click() {
    core::guarded([this] { showBasketList(); });
}

void mdi_zelvorin::basket_cl_Click() {
    core::guarded([] {
        clsZak& order = Global::CurrentOrder();
        order.InsertRow();
        order.setField(QStringLiteral("idn"), core::Value::int16(8958));
        order.setField(QStringLiteral("qty"), core::Value::int16(11));
        order.InsertRow();
        order.setField(QStringLiteral("idn"), core::Value::int16(8950));
        order.setField(QStringLiteral("qty"), core::Value::int16(12));
        if (Global::dialogs().showBasket)
            Global::dialogs().showBasket();
    });
}

void mdi_zelvorin::refresh_cl_Click() {
    core::guarded([this] {
        if (app::refreshPrices(this, Global::Cn()) && positions_)
            positions_->ReloadData();
    });
}

void mdi_zelvorin::sinch_cl_Click() {
    core::guarded([this] { showForm1(); });
}

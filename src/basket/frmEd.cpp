#include "basket/frmEd.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>

#include "global/global.h"
#include "core/guard.h"
#include "core/seams.h"
#include "ui/twips.h"
#include "ui/named.h"
#include "ui/twips_layout.h"

namespace {

const QString kCaption = QStringLiteral("Заказ позиции");

// Client area and controls, in twips.
constexpr int kWidth = 4800;
constexpr int kHeight = 1620;

}  // namespace

bool parseQuantity(const QString& text, double* out) {
    QString t = text.trimmed();
    // The comma is read as the decimal separator, never as a group separator: "2,5" is
    // two and a half in every locale, and the C locale reads the point the same way.
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double d = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(d)) return false;
    *out = d == 0.0 ? 0.0 : d;  // no negative zero in the order
    return true;
}

frmEd::frmEd(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEd"));
    setWindowTitle(kCaption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label11 = ui::named<QLabel>(this, QStringLiteral("Label11"), QStringLiteral("&Количество:"));
    qty = ui::named<QLineEdit>(this, QStringLiteral("qty"));
    Label8 = ui::named<QLabel>(this, QStringLiteral("Label8"), QStringLiteral("&Примечание:"));
    prim = ui::named<QLineEdit>(this, QStringLiteral("prim"));
    Command1 = ui::named<QPushButton>(this, QStringLiteral("Command1"), QStringLiteral("&ОК"));
    Command2 = ui::named<QPushButton>(this, QStringLiteral("Command2"), QStringLiteral("О&тмена"));
    Label11->setBuddy(qty);
    Label8->setBuddy(prim);

    // Enter confirms wherever the focus is; Esc cancels (keyPressEvent).
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(false);

    ui::setGeometryTwips(*Label11, 120, 165, 1300, 285);
    ui::setGeometryTwips(*qty, 1500, 120, 1500, 345);
    ui::setGeometryTwips(*Label8, 120, 600, 1300, 285);
    ui::setGeometryTwips(*prim, 1500, 555, 3180, 345);
    ui::setGeometryTwips(*Command1, 2160, 1110, 1200, 390);
    ui::setGeometryTwips(*Command2, 3480, 1110, 1200, 390);
    setFixedSize(ui::twipsToPx(kWidth), ui::twipsToPx(kHeight));

    connect(Command1, &QPushButton::clicked, this,
            [this] { core::guarded([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this,
            [this] { core::guarded([this] { Command2_Click(); }); });

    core::guarded([this] { Form_Load(); });
    qty->setFocus();
    qty->selectAll();
}

void frmEd::Form_Load() {
    clsZak& order = Global::CurrentOrder();
    qty->setText(order.Field(QStringLiteral("qty")).toText());
    prim->setText(order.Field(QStringLiteral("prim")).toText());
}

void frmEd::Command1_Click() {
    QString text = qty->text().trimmed();
    if (text.isEmpty()) text = QStringLiteral("0");
    qty->setText(text);

    // A quantity the order cannot take keeps the editor open with the text, so that
    // the operator can correct it and the line is not lost.
    double value = 0.0;
    if (!parseQuantity(text, &value)) {
        core::showMessage(QStringLiteral("Количество должно быть числом."), kCaption);
        qty->setFocus();
        qty->selectAll();
        return;
    }
    if (value < 0) {
        core::showMessage(QStringLiteral("Количество не может быть отрицательным."), kCaption);
        qty->setFocus();
        qty->selectAll();
        return;
    }

    clsZak& order = Global::CurrentOrder();
    order.setField(QStringLiteral("qty"), core::Value::dbl(value));
    order.setField(QStringLiteral("prim"), core::Value::text(prim->text()));
    accept();
}

void frmEd::Command2_Click() {
    if (onAdd) {
        clsZak& order = Global::CurrentOrder();
        order.RemoveRow(order.Field(QStringLiteral("pos")).toInt16());
    }
    reject();
}

void frmEd::keyPressEvent(QKeyEvent* e) {
    // Esc is the "Отмена" button; the window's close box (reject) is neither button.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        core::guarded([this] { Command2_Click(); });
        return;
    }
    QDialog::keyPressEvent(e);
}

#include "db/Form1.h"

#include "core/errors.h"
#include "core/seams.h"
#include "db/schema.h"
#include "db/sync.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

Form1::Form1(store::Connection& cn, QWidget* parent) : QWidget(parent, Qt::Window), cn_(cn) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));

    auto make = [this](const char* name, const char* caption) {
        auto* c = new QCheckBox(QString::fromUtf8(caption), this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    Check1 = make("Check1", "Типы");
    Check2 = make("Check2", "Группы");
    Check3 = make("Check3", "Позиции");
    Check4 = make("Check4", "Регионы");
    Check5 = make("Check5", "Города");
    Check6 = make("Check6", "Организации");
    Check7 = make("Check7", "Базы");
    Check8 = make("Check8", "Прайсы");
    Check9 = make("Check9", "Мусор");
    Check10 = make("Check10", "Цены");
    Command1 = new QPushButton(QStringLiteral("Обновить"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    // Keeps its room while hidden, so the window does not jump when a run starts.
    QSizePolicy keep = progress_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keep);
    progress_->setVisible(false);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);

    // Four columns: types, groups, positions | regions, cities | organisations, bases,
    // price lists | offers, bands, with the button below the last column.
    auto* grid = new QGridLayout(this);
    const QList<QList<QCheckBox*>> columns = {
        {Check1, Check2, Check3}, {Check4, Check5}, {Check6, Check7, Check8}, {Check9, Check10}};
    for (int c = 0; c < columns.size(); ++c)
        for (int r = 0; r < columns[c].size(); ++r)
            grid->addWidget(columns[c][r], r, c, Qt::AlignTop);
    grid->addWidget(Command1, 2, 3, Qt::AlignTop);
    grid->addWidget(progress_, 3, 0, 1, 4);
    grid->addWidget(status_, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
}

Form1::~Form1() = default;

QCheckBox* Form1::box(int i) const {
    const QCheckBox* const all[] = {Check1, Check2, Check3, Check4, Check5,
                                    Check6, Check7, Check8, Check9, Check10};
    return (i >= 1 && i <= 10) ? const_cast<QCheckBox*>(all[i - 1]) : nullptr;
}

void Form1::setBusy(bool busy) {
    running_ = busy;
    Command1->setEnabled(!busy);
    for (int i = 1; i <= 10; ++i)
        box(i)->setEnabled(!busy);
    progress_->setVisible(busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void Form1::Command1_Click() {
    if (running_)
        return;
    // A greyed box counts as ticked too.
    const QStringList tables = db::referenceTables();
    QSet<QString> ticked;
    for (int i = 1; i <= 10; ++i)
        if (box(i)->checkState() != Qt::Unchecked)
            ticked.insert(tables.at(i - 1));

    setBusy(true);
    progress_->setRange(0, int(db::workingTables().size() + ticked.size()));
    progress_->setValue(0);
    status_->clear();
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    int total = 0;
    auto progress = [&](const db::SyncProgress& p) {
        if (p.rows > 0)
            ++total;
        // Repainting after every record would cost more than the copy itself.
        if (p.rows != 0 && sinceRepaint.elapsed() < 100)
            return;
        sinceRepaint.restart();
        progress_->setValue(p.step - 1);
        status_->setText(p.rows == 0
                             ? QStringLiteral("%1: создание таблицы").arg(p.table)
                             : QStringLiteral("%1: скопировано записей: %2").arg(p.table).arg(p.rows));
        // Paint, but take no input: the run must not be started again or interrupted.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };

    QString failure;
    try {
        db::synchronise(cn_, ticked, progress);
    } catch (const db::SyncError& e) {
        failure = QStringLiteral("Синхронизация прервана.\n\nЗапрос:\n%1\n\nОшибка:\n%2")
                      .arg(e.statement(), e.reason());
    } catch (const std::exception& e) {
        failure = QStringLiteral("Синхронизация прервана.\n\n%1").arg(core::errorText(e));
    }
    progress_->setValue(progress_->maximum());
    setBusy(false);
    if (failure.isEmpty()) {
        status_->setText(QStringLiteral("Готово: скопировано записей: %1").arg(total));
    } else {
        status_->setText(QStringLiteral("Синхронизация прервана."));
        core::showMessage(failure);
    }
}

void Form1::closeEvent(QCloseEvent* e) {
    // The run holds a reference to this window's state; it finishes first.
    if (running_)
        e->ignore();
    else
        QWidget::closeEvent(e);
}

#include "app/refresh_prices.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/errors.h"
#include "core/seams.h"
#include "db/refresh.h"

namespace app {

const char* const kRefreshQuestion = "Обновить справочники из центральной базы? Заявки не изменятся.";

namespace {

// Rows between two updates of the progress dialog: often enough for the cancel button
// to answer at once, seldom enough to cost nothing.
constexpr int kRowsPerUpdate = 500;

QDialog* reportWindow(QWidget* parent, const db::ChangeReport& report) {
    auto* w = new QDialog(parent);
    w->setObjectName(QStringLiteral("refreshReport"));
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowTitle(QStringLiteral("Цены обновлены"));
    auto* text = new QPlainTextEdit(w);
    text->setObjectName(QStringLiteral("reportText"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(db::reportText(report, QLocale()));
    auto* buttons = new QDialogButtonBox(w);
    QPushButton* close = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("closeReport"));
    close->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, w, &QDialog::accept);
    auto* layout = new QVBoxLayout(w);
    layout->addWidget(text);
    layout->addWidget(buttons);
    const QFontMetrics fm(text->font());
    w->resize(fm.horizontalAdvance(QLatin1Char('0')) * 90, fm.lineSpacing() * 30);
    w->show();
    return w;
}

}  // namespace

QDialog* refreshPrices(QWidget* parent, store::Connection& cn) {
    if (!core::askYesNo(QString::fromUtf8(kRefreshQuestion))) return nullptr;
    QProgressDialog progress(parent);
    progress.setObjectName(QStringLiteral("refreshProgress"));
    progress.setWindowTitle(QStringLiteral("Обновление цен"));
    progress.setLabelText(QStringLiteral("Подключение к центральной базе…"));
    progress.setCancelButtonText(QStringLiteral("Отмена"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumWidth(progress.fontMetrics().horizontalAdvance(QLatin1Char('0')) * 50);
    progress.show();
    QCoreApplication::processEvents();
    const QLocale locale;
    db::ChangeReport report;
    try {
        report = db::refreshReferenceTables(cn, [&](const db::SyncProgress& p) {
            if (p.rows % kRowsPerUpdate != 0) return;
            progress.setMaximum(p.steps);
            progress.setValue(p.step - 1);
            progress.setLabelText(QStringLiteral("Таблица %1: скопировано строк %2").arg(p.table, locale.toString(p.rows)));
            QCoreApplication::processEvents();
            if (progress.wasCanceled()) throw db::SyncCancelled();
        });
    } catch (const db::SyncCancelled&) {
        progress.close();
        core::showMessage(QStringLiteral("Обновление прервано. Справочники остались прежними."));
        return nullptr;
    } catch (const std::exception& e) {
        progress.close();
        core::showMessage(QStringLiteral("Не удалось обновить справочники; данные остались прежними.\n") +
                          core::errorText(e));
        return nullptr;
    }
    progress.close();
    return reportWindow(parent, report);
}

}  // namespace app

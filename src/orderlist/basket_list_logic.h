#pragma once
// What the order list computes without a widget: its query and the order-exchange
// statements, the state captions, and the wheel-scrolling arithmetic.

#include <QDate>
#include <QString>
#include <QStringList>

#include "core/value.h"

namespace store {
class Connection;
}

namespace orderlist {

// Deletes a stored order from the local tables: its lines' notes, its lines, then its
// header, as one unit that a crash leaves whole or gone. Lines never outlive their
// header, nor notes their lines: a failure on the way leaves what hangs on the rest.
// Throws core::DbError.
void deleteStoredOrder(store::Connection& cn, int32_t number);

// The state filter's items, "<Все>" first, then the captions of states 1 to 3.
const QStringList& stateFilterItems();

// Caption of an IND_STT value: 1..3 their captions, other numbers "", and a value
// that is not a number (a blank column) "Новая", since such an order was never moved on.
QString stateCaption(const core::Value& indStt);

// The state a refreshed row shows: a whole number is a state and shows as its
// caption; any other text is taken as the service's own caption.
QString refreshedStateCaption(const QString& state);

// "SELECT * FROM TBL_APPS ..." for the state filter's text and the creation date range
// (both days included: CR_DT is text that starts with the date).
QString listStatement(const QString& stateFilter, const QDate& from, const QDate& to);

// The order-exchange service's deletion request and single-order refresh.
QString delAppStatement(const QString& orderNumber, const QString& userName);
QString sngAppStatement(const QDate& from, const QDate& to, const QString& orderNumber);

// Rows the wheel moves per notch: a tenth of the grid's height in rows, at least 2
// (also when row 1 is hidden and has no height).
int wheelStep(int gridHeightTwips, int row1HeightTwips);
// The new top row: towards the operator (rotation < 1) moves down, at most to the last
// row; away moves up, at least to row 1.
int wheelTopRow(int topRow, int step, int rotation, int lastRow);

}  // namespace orderlist

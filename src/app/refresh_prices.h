#pragma once
// The main window's price refresh: the question, the progress dialog with its cancel
// button while the reference tables are copied, and the report of what changed.

class QDialog;
class QWidget;

namespace store {
class Connection;
}

namespace app {

// The question, put to the operator before anything is touched.
extern const char* const kRefreshQuestion;

// Asks; on Yes refreshes the reference tables of `cn`'s folder from its central side,
// showing the progress over `parent`, and opens the report window (returned; it deletes
// itself when closed). Returns null when the operator said No, cancelled, or the
// refresh failed (the message says why; the data stay as they were).
QDialog* refreshPrices(QWidget* parent, store::Connection& cn);

}  // namespace app

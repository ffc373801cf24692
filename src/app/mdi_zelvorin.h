#pragma once
// The main window: the multiple-document frame with its menu. Its load opens Cn on the
// local database and initialises the current order; its menu opens the catalogue and
// the order list as child windows.

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class positions;
class BasketList;
class Form1;

namespace store {
class Connection;
}

// " Цены на металлопрокат    ver. " followed by major.minor.revision.
QString mainCaption(int major, int minor, int revision);

// The connection string of the local database whose folder is `dataSource`.
QString localConnectionString(const QString& dataSource);

// The program's own database: the folder DB beside the executable, written the way the
// connection string wants it ("<exe folder>\DB").
QString defaultDataSource();

class mdi_zelvorin : public QMainWindow {
    Q_OBJECT
public:
    explicit mdi_zelvorin(QWidget* parent = nullptr);
    ~mdi_zelvorin() override;

    // The load: CatalogueOpen false, Cn opened on the connection string (with the central
    // link, when given, for the central server's statements), CurrentOrder initialised,
    // the caption set, and the start-up statement run with its failure ignored.
    // Throws core::DbError when the local database cannot be opened.
    void Form_Load(const QString& connectionString, std::unique_ptr<store::Connection> central = nullptr);

    QMdiArea* mdiArea() const { return mdi_; }
    QAction* positions_cl = nullptr;
    QAction* apps_cl = nullptr;
    QAction* basket_cl = nullptr;
    QAction* sinch_cl = nullptr;
    // After the four commands: the refresh of the prices, enabled with a central database.
    QAction* refresh_cl = nullptr;

    // Shows the child window (creating it on first use, bringing it forward otherwise)
    // and returns it. These are what the menu commands run; they throw what the
    // window's own load throws.
    positions* showPositions();
    BasketList* showBasketList();
    Form1* showForm1();
    QMdiSubWindow* subWindowOf(QWidget* child) const;

public slots:
    void positions_cl_Click();
    void apps_cl_Click();
    void basket_cl_Click();
    void sinch_cl_Click();
    void refresh_cl_Click();
    void about_Click();  // F1: the version

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;  // remembers a closing child
    void closeEvent(QCloseEvent* event) override;               // remembers every window

private:
    template <class W>
    W* showChild(QPointer<W>& slot);

    QMdiArea* mdi_;
    QPointer<positions> positions_;
    QPointer<BasketList> basketList_;
    QPointer<Form1> form1_;
};

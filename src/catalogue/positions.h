#pragma once
// The catalogue window: product type and group lists, the positions of the chosen
// group with their price range, the supplier offers of the selected position by
// quantity band, the bases filter, and adding a position to the basket.

#include <QHash>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <memory>

#include "catalogue/search.h"
#include "core/guard.h"
#include "core/seams.h"
#include "global/global.h"
#include "store/connection.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class FlexGrid;
class LabelArray;
}  // namespace ui

class positions : public QWidget, public Global::BasketIndicator {
    Q_OBJECT
public:
    explicit positions(QWidget* parent = nullptr);
    ~positions() override;

    // The operations of the window, under their own names.
    void LoadPositions();
    void ShowPositionRow();
    void LoadOffers();
    void LoadBases();
    QString BasesFilter() const;
    // After the reference tables were replaced: the bases list is built anew (bases still
    // there keep their marks, new ones come marked), the chosen group's positions and the
    // selected position's offers are read again.
    void ReloadData();
    void SortByHeader(ui::FlexGrid& grid, bool& ascending);

    // Global::BasketIndicator: the basket pictures and the line count.
    void setBasketIndicator(bool full, const QString& countCaption) override;

    // The label arrays are not widgets of their own; tests and the main window reach
    // them here. Everything else is found by objectName.
    ui::LabelArray& lb1() { return *lb1_; }
    ui::LabelArray& lb2() { return *lb2_; }
    int curType() const { return curType_; }
    int curGroup() const { return curGroup_; }
    int prevRow() const { return prevRow_; }

    // The screen size (twips) the size bounds use instead of the real screen's; an empty
    // size restores the real one. For layout tests on a small virtual screen.
    static void setScreenSizeForTests(const QSize& twips);

    static constexpr uint32_t kLabelBack = 0xC0FFFF;
    static constexpr uint32_t kLabelFore = 0x400040;
    static constexpr uint32_t kLabelHotBack = 0xF8D8D8;
    static constexpr uint32_t kLabelHotFore = 0x000000;
    static constexpr uint32_t kRegionBack = 0x80FF80;

protected:
    void resizeEvent(QResizeEvent* e) override;  // lays the controls out again
    void showEvent(QShowEvent* e) override;      // a window shown again loads afresh
    void closeEvent(QCloseEvent* e) override;
    // A press and release on free space close the pop-out panels.
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // Movement over the title, presses on the basket pictures.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();  // in positions_controls.cpp

    // The context search and the keyboard (positions_search.cpp).
    void Check_con_Click();
    void shablon_Change();
    void findSearchKeys();               // searchKeys_ for searchText_, the names read on first use
    void enterSearch();                  // Ctrl+F: tick Check_con, the cursor into shablon
    void enterResult();                  // from shablon into dg, on its first position
    QString listCondition() const;       // the positions statement's condition for what dg lists
    void addRowToBasket();               // "Добавить в корзину" for dg's current row
    void dg_KeyDown(int key);            // Enter adds the row, the menu key opens the menu at it
    void bases_KeyDown(int key);         // Space in the mark column toggles the mark
    bool isPositionRow(int row) const;
    void openRowMenu(const QPoint& screenPos);
    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void Form_Click();
    void Label10_MouseMove();
    void lb1_MouseMove(int index);
    void lb2_MouseMove(int index);
    void lb2_MouseDown(int index);
    void dg_MouseDown(Qt::MouseButton button, const QPoint& pos);
    void bases_Click();
    void basketPicture_DblClick();
    void Command3_Click();

    // Runs an event handler so that no exception reaches the event loop: a failure
    // closes the result set and tells the operator once.
    // A failing statement (an unreadable table file, a lost folder) ends the handler with
    // one message; the window stays as usable as the data allows.
    template <class F>
    void guarded(F&& handler) {
        core::guarded(handler, QStringLiteral("Не удалось прочитать данные каталога.\n"),
                      [this] { closeRsCat(); });
    }
    void closeRsCat();
    bool moveHot(ui::LabelArray& list, int& current, int index);
    bool isFreeArea(const QPoint& pos) const;

    // Layout bookkeeping in twips: what was set is read back exactly, as long as the
    // widget still stands where it was put.
    void place(QWidget* w, int left, int top, int width, int height);
    QRect twips(const QWidget* w) const;
    void setLeft(QWidget* w, int v);
    void setTop(QWidget* w, int v);
    void setWidth(QWidget* w, int v);
    void setHeight(QWidget* w, int v);

    // Controls, under the names the operator's documentation uses.
    QLabel* Label10 = nullptr;
    QGroupBox* frm1 = nullptr;
    QGroupBox* frm2 = nullptr;
    ui::LabelArray* lb1_ = nullptr;
    ui::LabelArray* lb2_ = nullptr;
    QLabel* zag = nullptr;
    ui::FlexGrid* dg = nullptr;
    ui::FlexGrid* prices = nullptr;
    ui::FlexGrid* bases = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Fr_basket = nullptr;
    QLabel* b_emp = nullptr;
    QLabel* b_full = nullptr;
    QLabel* c_bas = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* descr = nullptr;
    QFrame* frmWaiting = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* Shape3[3] = {};
    QFrame* Shape2[2] = {};
    QFrame* Line2 = nullptr;
    QCheckBox* Check_r1 = nullptr;
    QComboBox* Combo_r1 = nullptr;
    QCheckBox* Check_m = nullptr;
    QComboBox* Combo_m = nullptr;
    QCheckBox* chckProf = nullptr;
    QComboBox* cmbProf = nullptr;
    QCheckBox* Check_con = nullptr;
    QLineEdit* shablon = nullptr;
    QLabel* width_label = nullptr;

    // Window state, alive while the window is loaded.
    int curType_ = -1;
    int curGroup_ = -1;
    int prevRow_ = 0;
    // The key of the group zag shows: rebuilding the list after another type was
    // hovered still lists that group.
    int chosenGroup_ = 0;
    QString condition_;
    QList<core::MenuItem> hMenu;
    QPoint ptCursor;
    std::unique_ptr<store::RecordSet> rsCat;
    bool sortDg_ = false;
    bool sortPrices_ = false;
    bool loaded_ = false;
    bool pressOnFreeArea_ = false;
    int resizePasses_ = 0;  // counts layout passes, to tell a nested one
    QHash<const QWidget*, QRect> twips_;

    // The search mode: on while Check_con is ticked. The names are read on first use.
    bool searching_ = false;
    QString searchText_;               // the words typed, blanks simplified
    std::vector<int> searchKeys_;      // the positions they match
    QString zagBeforeSearch_;          // what zag read when the search began
    catalogue::PositionSearch names_;
};

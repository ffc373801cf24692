#pragma once
// The order list: stored orders filtered by state and creation date, with reopening
// into the basket, deleting, refreshing from the order-exchange service and clearing
// the basket.

#include <QList>
#include <QWidget>
#include <array>
#include <memory>

#include "core/seams.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QMdiSubWindow;
class QPushButton;
namespace store {
class RecordSet;
}
namespace ui {
class FlexGrid;
}

class BasketList : public QWidget {
    Q_OBJECT
public:
    explicit BasketList(QWidget* parent = nullptr);
    ~BasketList() override;

    // Refreshes the last refreshed row and the current row from the order-exchange
    // service. Failures end it silently; the rows keep what they showed.
    void ReloadStr();
    // Scrolls the list by a tenth of its height per notch (at least 2 rows); only
    // Rotation is used: below 1 moves down.
    void MouseWheel(int MouseKeys, int Rotation, int Xpos, int Ypos);

    QSize sizeHint() const override;

    // The window's controls, under their designed names.
    std::array<QLabel*, 2> Label1{};
    QDateEdit* DTP1 = nullptr;
    QDateEdit* DTP2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command4 = nullptr;
    QLabel* width_label = nullptr;
    QPushButton* Command3 = nullptr;
    ui::FlexGrid* MFG = nullptr;

    // Grid columns.
    enum Column { colKey = 0, colNumber, colDate, colClient, colState, colComment, colCount };

    // The window's size bounds, twips.
    static constexpr int kMinWidth = 8000;
    static constexpr int kMinHeight = 4920;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LoadList();
    void SortByHeader(int col);
    void OpenOrder();
    void DeleteOrder();
    void DeleteThroughService();
    void RefreshRow(int row);
    void ClearBasketCommand();
    void OnGridPress(Qt::MouseButton button, const QPoint& pos);
    // Delete, Enter (opens the order) and the context-menu key (the popup at the row).
    void OnGridKey(int key);
    void ShowMenu(const QPoint& at);
    void OnGridDoubleClick();
    // Makes a visible data row current with all its columns selected; false for any other row.
    bool SelectRow(int row);
    void FitToWindow();
    QMdiSubWindow* subWindow() const;

    std::unique_ptr<store::RecordSet> rs_;
    int sortCol_ = 0;
    int sortDir_ = 0;  // 1 ascending, 2 descending
    int lastRefreshedRow_ = 0;
    QList<core::MenuItem> menu_;
    bool placed_ = false;
    bool fitting_ = false;
};

#pragma once
// Where the basket window's moving controls go for a given outer window size, in twips:
// the buttons along the bottom edge, "Закрыть" also along the right edge, and the
// comparison grid taking the remaining width and height.

namespace basket_layout {

constexpr int kMinWidth = 9000;
constexpr int kMinHeight = 6000;
// The layout counts the window's outer size. Window managers draw frames of their own
// (and none at all off screen), so a standard frame stands for all of them, and the
// controls sit the same in the client area everywhere.
constexpr int kFrameWidth = 120;
constexpr int kFrameHeight = 405;

struct Placement {
    int width = 0;  // outer size after the minimum was applied
    int height = 0;
    int buttonsTop = 0;    // oform, Command2, Command3
    int command3Left = 0;  // Command3
    int gridWidth = 0;     // gbasket
    int gridHeight = 0;
};

constexpr Placement place(int outerWidth, int outerHeight) {
    Placement p;
    p.width = outerWidth < kMinWidth ? kMinWidth : outerWidth;
    p.height = outerHeight < kMinHeight ? kMinHeight : outerHeight;
    p.buttonsTop = p.height - 900;
    p.command3Left = p.width - 1100;
    p.gridWidth = p.width - 315;
    p.gridHeight = p.height - 2800;
    return p;
}

}  // namespace basket_layout

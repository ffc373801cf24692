// Widget placement in twips at a few logical resolutions.
#include "ui/twips_layout.h"

#include <gtest/gtest.h>

#include <QWidget>

#include "ui/twips.h"

namespace {

struct DpiCase {
    const char* name;
    double dpi;
    QRect twips;
    QRect px;
};

class TwipsPlacement : public ::testing::TestWithParam<DpiCase> {
protected:
    void TearDown() override { ui::setLogicalDpiForTests(0); }
};

TEST_P(TwipsPlacement, ConvertsOnceAtTheWidget) {
    ui::setLogicalDpiForTests(GetParam().dpi);
    QWidget w;
    const QRect t = GetParam().twips;
    ui::setGeometryTwips(w, t.x(), t.y(), t.width(), t.height());
    EXPECT_EQ(w.geometry(), GetParam().px);
    EXPECT_EQ(ui::geometryTwips(w).topLeft(), QPoint(ui::pxToTwips(w.x()), ui::pxToTwips(w.y())));
}

INSTANTIATE_TEST_SUITE_P(Dpis, TwipsPlacement,
                         ::testing::Values(DpiCase{"Dpi96", 96, {1500, 300, 3000, 450}, {100, 20, 200, 30}},
                                           DpiCase{"Dpi96Window", 96, {0, 0, 9000, 6000}, {0, 0, 600, 400}},
                                           DpiCase{"Dpi144", 144, {1500, 300, 3000, 450}, {150, 30, 300, 45}},
                                           DpiCase{"Dpi120", 120, {120, 0, 1200, 24}, {10, 0, 100, 2}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TwipsLayout, WidgetsLaidEdgeToEdgeTouchAtAnyDpi) {
    for (double dpi : {96.0, 110.0, 120.0, 144.0, 157.0}) {
        ui::setLogicalDpiForTests(dpi);
        QWidget a, b;
        ui::setGeometryTwips(a, 107, 0, 2333, 100);
        ui::setGeometryTwips(b, 107 + 2333, 0, 1000, 100);
        EXPECT_EQ(a.geometry().right() + 1, b.geometry().left()) << "dpi " << dpi;
    }
    ui::setLogicalDpiForTests(0);
}

TEST(TwipsLayout, MoveAndResizeKeepTheOtherHalf) {
    ui::setLogicalDpiForTests(96);
    QWidget w;
    ui::setGeometryTwips(w, 150, 300, 1500, 600);
    ui::moveTwips(w, 3000, 1500);
    EXPECT_EQ(w.geometry(), QRect(200, 100, 100, 40));
    ui::resizeTwips(w, 4500, 3000);
    EXPECT_EQ(w.geometry(), QRect(200, 100, 300, 200));
    ui::setLeftTwips(w, 0);
    ui::setTopTwips(w, 15);
    ui::setWidthTwips(w, 30);
    ui::setHeightTwips(w, 45);
    EXPECT_EQ(w.geometry(), QRect(0, 1, 2, 3));
    EXPECT_EQ(ui::leftTwips(w), 0);
    EXPECT_EQ(ui::topTwips(w), 15);
    EXPECT_EQ(ui::widthTwips(w), 30);
    EXPECT_EQ(ui::heightTwips(w), 45);
    ui::resizeTwips(w, -100, 0);  // a negative size is no size
    EXPECT_EQ(w.size(), QSize(0, 0));
    ui::setLogicalDpiForTests(0);
}

}  // namespace

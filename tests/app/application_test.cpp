// The last guard before the event loop: an error that escapes a handler becomes a
// message box, and the event counts as not handled.
#include "app/application.h"
#include "core/errors.h"
#include "support/scripted_seams.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(EventGuard, PassesTheHandlersAnswerThrough) {
    testsupport::ScriptedMessages boxes;
    EXPECT_TRUE(app::deliverGuarded([] { return true; }));
    EXPECT_FALSE(app::deliverGuarded([] { return false; }));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(EventGuard, EscapedErrorIsShownWithItsText) {
    testsupport::ScriptedMessages boxes;
    EXPECT_FALSE(app::deliverGuarded([]() -> bool { throw core::DbError("Таблица TBL_TPS не найдена"); }));
    EXPECT_FALSE(app::deliverGuarded([]() -> bool { throw std::runtime_error("disk full"); }));
    EXPECT_FALSE(app::deliverGuarded([]() -> bool { throw 42; }));
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[0].text, "Таблица TBL_TPS не найдена");
    EXPECT_EQ(boxes.shown[1].text, "disk full");
    EXPECT_FALSE(boxes.shown[2].text.isEmpty());
}

}  // namespace

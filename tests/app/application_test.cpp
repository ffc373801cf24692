// The last guard before the event loop: an error that escapes a handler becomes a
// message box, and the event counts as not handled.
#include "app/application.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "support/scripted_seams.h"

TEST(EventGuard, PassesTheAnswerThroughAndShowsAnEscapedError) {
    testsupport::ScriptedMessages boxes;
    EXPECT_TRUE(app::deliverGuarded([] { return true; }));
    EXPECT_FALSE(app::deliverGuarded([] { return false; }));
    EXPECT_FALSE(app::deliverGuarded([]() -> bool { throw core::DbError("Таблица TBL_TPS не найдена"); }));
    EXPECT_FALSE(app::deliverGuarded([]() -> bool { throw 42; }));
    EXPECT_EQ(boxes.texts(), (QStringList{"Таблица TBL_TPS не найдена", core::unexpectedErrorText()}));
}

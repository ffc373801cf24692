#pragma once
// The shared helpers of the module Global that need no window: number display,
// null-safe field text, the silent error sink and the operator's identity.

#include "core/value.h"

#include <QString>

namespace Global {

// Display text of a number by magnitude ("#", "0.0", "0.0#", "0.0##", "0.0###",
// "0.0#####") in the operator's locale. A negative or null value comes back unchanged.
core::Value FormatValue(const core::Value& value);

// The value's text; the fallback's text for a null value or an empty text.
QString ValueOrDefault(const core::Value& value, const core::Value& fallback);

// The silent error sink: shows nothing to the operator. Messages go to a diagnostic
// log (stderr when ZELVORIN_LOG is set), never to a window.
void ReportError(const QString& message);

// The operator's name as the order-exchange service knows it: always empty here.
QString CurrentUserName();

}  // namespace Global

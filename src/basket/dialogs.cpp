#include "basket/dialogs.h"

#include "app/global/global.h"

namespace basket_dialogs {
void registerDialogs() {}
}  // namespace basket_dialogs

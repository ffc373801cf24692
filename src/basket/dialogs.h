#pragma once
// Connects the basket window and the line editor to the Global::dialogs() seam, so
// the catalogue and the order list open them without knowing their classes.

namespace basket_dialogs {
void registerDialogs();
}

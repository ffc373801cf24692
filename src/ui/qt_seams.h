#pragma once
// The real message boxes and popup menus behind the core seams: modal QMessageBox
// windows and QMenu popups. The program installs them once at start-up.

#include "core/seams.h"

namespace ui {

class QtMessageBoxes final : public core::MessageBoxes {
public:
    core::MsgAnswer show(const core::MessageRequest& request) override;
};

class QtPopupMenus final : public core::PopupMenus {
public:
    int track(const QList<core::MenuItem>& items, const QPoint& screenPos) override;
};

// Installs process-wide instances of both (tests keep their scripted ones instead).
void installQtSeams();

}  // namespace ui

#pragma once
// The seams through which lower layers and windows talk to the operator: message
// boxes and popup menus. The program installs real Qt implementations (ui/); tests
// install scripted responders that answer and record what was shown.

#include <QList>
#include <QPoint>
#include <QString>

namespace core {

enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No, Closed };
// A question shows a question mark; a message with Ok is a warning unless it only informs.
enum class MsgKind { Warning, Information };

struct MessageRequest {
    QString text;
    QString title;  // empty: the application's title
    MsgButtons buttons = MsgButtons::Ok;
    MsgKind kind = MsgKind::Warning;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const MessageRequest& request) = 0;
};

struct MenuItem {
    int id;
    QString text;
};

class PopupMenus {
public:
    virtual ~PopupMenus() = default;
    // Shows the items with the menu's top-left corner at the screen point and waits for
    // the choice: the chosen item's id, or 0 when the menu was dismissed.
    virtual int track(const QList<MenuItem>& items, const QPoint& screenPos) = 0;
};

// The installed implementations. Until something is installed, message boxes go to
// stderr and answer Ok / No, and popup menus are dismissed.
MessageBoxes& messageBoxes();
PopupMenus& popupMenus();
// Installs an implementation (not owned); nullptr restores the default. Returns the
// previous one so that tests can restore it.
MessageBoxes* installMessageBoxes(MessageBoxes* boxes);
PopupMenus* installPopupMenus(PopupMenus* menus);

// Shorthands for the common calls.
MsgAnswer showMessage(const QString& text, const QString& title = QString());
bool askYesNo(const QString& text, const QString& title = QString());
MsgAnswer showInformation(const QString& text, const QString& title = QString());

// The application's title used for message boxes that give none.
QString applicationTitle();

}  // namespace core

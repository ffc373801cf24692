#include "core/seams.h"

#include <QCoreApplication>
#include <cstdio>

namespace core {
namespace {

class StderrMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const MessageRequest& r) override {
        const QString title = r.title.isEmpty() ? applicationTitle() : r.title;
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(r.text));
        return r.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
};

class DismissedMenus final : public PopupMenus {
public:
    int track(const QList<MenuItem>&, const QPoint&) override { return 0; }
};

StderrMessageBoxes g_defaultBoxes;
DismissedMenus g_defaultMenus;
MessageBoxes* g_boxes = &g_defaultBoxes;
PopupMenus* g_menus = &g_defaultMenus;

}  // namespace

MessageBoxes& messageBoxes() { return *g_boxes; }
PopupMenus& popupMenus() { return *g_menus; }

MessageBoxes* installMessageBoxes(MessageBoxes* boxes) {
    MessageBoxes* prev = g_boxes;
    g_boxes = boxes ? boxes : &g_defaultBoxes;
    return prev;
}

PopupMenus* installPopupMenus(PopupMenus* menus) {
    PopupMenus* prev = g_menus;
    g_menus = menus ? menus : &g_defaultMenus;
    return prev;
}

MsgAnswer showMessage(const QString& text, const QString& title) {
    return messageBoxes().show({text, title, MsgButtons::Ok});
}

MsgAnswer showInformation(const QString& text, const QString& title) {
    return messageBoxes().show({text, title, MsgButtons::Ok, MsgKind::Information});
}

bool askYesNo(const QString& text, const QString& title) {
    return messageBoxes().show({text, title, MsgButtons::YesNo}) == MsgAnswer::Yes;
}

QString applicationTitle() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("zelvorin") : name;
}

}  // namespace core

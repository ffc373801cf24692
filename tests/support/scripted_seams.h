#pragma once
// Scripted stand-ins for the message-box and popup-menu seams: they answer from a
// queue and record what the code under test showed. Installed for the lifetime of
// the object and restored afterwards.

#include <QList>
#include <QLocale>

#include "core/seams.h"

namespace testsupport {

// Installs itself as the seam while it lives and hands out the queued answers in order.
template <class Seam, class Answer, Seam* (*install)(Seam*)>
class Scripted : public Seam {
public:
    Scripted() : prev_(install(this)) {}
    ~Scripted() override { install(prev_); }

protected:
    Answer next(Answer otherwise) { return queue_.isEmpty() ? otherwise : queue_.takeFirst(); }
    QList<Answer> queue_;
    Seam* prev_;
};

class ScriptedMessages final
    : public Scripted<core::MessageBoxes, core::MsgAnswer, core::installMessageBoxes> {
public:
    // Queues answers; when the queue is empty, Ok boxes answer Ok and Yes/No boxes Yes.
    void answer(core::MsgAnswer a) { queue_.push_back(a); }
    core::MsgAnswer show(const core::MessageRequest& r) override {
        shown.append(r);
        return next(r.buttons == core::MsgButtons::Ok ? core::MsgAnswer::Ok : core::MsgAnswer::Yes);
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& r : shown) t << r.text;
        return t;
    }
    QList<core::MessageRequest> shown;
};

class ScriptedMenus final : public Scripted<core::PopupMenus, int, core::installPopupMenus> {
public:
    // Queues the ids to choose (0 dismisses); an empty queue dismisses.
    void choose(int id) { queue_.push_back(id); }
    int track(const QList<core::MenuItem>& items, const QPoint& pos) override {
        shownItems.append(items);
        positions.append(pos);
        return next(0);
    }
    QList<QList<core::MenuItem>> shownItems;
    QList<QPoint> positions;
};

// Sets the default locale for the lifetime of the object.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& l) : prev_(QLocale()) { QLocale::setDefault(l); }
    ~LocaleGuard() { QLocale::setDefault(prev_); }

private:
    QLocale prev_;
};

}  // namespace testsupport

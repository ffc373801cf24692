#pragma once
// Scripted stand-ins for the message-box and popup-menu seams: they answer from a
// queue and record what the code under test showed. Installed for the lifetime of
// the object and restored afterwards.

#include "core/seams.h"

#include <QList>
#include <QLocale>
#include <deque>

namespace testsupport {

class ScriptedMessages final : public core::MessageBoxes {
public:
    ScriptedMessages() { prev_ = core::installMessageBoxes(this); }
    ~ScriptedMessages() override { core::installMessageBoxes(prev_); }
    // Queues answers; when the queue is empty, Ok boxes answer Ok and Yes/No boxes Yes.
    void answer(core::MsgAnswer a) { answers_.push_back(a); }
    core::MsgAnswer show(const core::MessageRequest& r) override {
        shown.append(r);
        if (!answers_.empty()) {
            auto a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return r.buttons == core::MsgButtons::Ok ? core::MsgAnswer::Ok : core::MsgAnswer::Yes;
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& r : shown)
            t << r.text;
        return t;
    }
    QList<core::MessageRequest> shown;

private:
    std::deque<core::MsgAnswer> answers_;
    core::MessageBoxes* prev_ = nullptr;
};

class ScriptedMenus final : public core::PopupMenus {
public:
    ScriptedMenus() { prev_ = core::installPopupMenus(this); }
    ~ScriptedMenus() override { core::installPopupMenus(prev_); }
    // Queues the ids to choose (0 dismisses); an empty queue dismisses.
    void choose(int id) { choices_.push_back(id); }
    int track(const QList<core::MenuItem>& items, const QPoint& pos) override {
        shownItems.append(items);
        positions.append(pos);
        if (choices_.empty())
            return 0;
        int id = choices_.front();
        choices_.pop_front();
        return id;
    }
    QList<QList<core::MenuItem>> shownItems;
    QList<QPoint> positions;

private:
    std::deque<int> choices_;
    core::PopupMenus* prev_ = nullptr;
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

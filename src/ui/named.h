#pragma once
// Creating a child widget under the name the program and its tests find it by:
//   auto* qty = ui::named<QLineEdit>(this, "qty");
//   auto* ok = ui::named<QPushButton>(this, "Command1", QStringLiteral("ОК"));

#include <QString>
#include <QWidget>
#include <utility>

namespace ui {

template <class W, class... Args>
W* named(QWidget* parent, const QString& name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(name);
    return w;
}

}  // namespace ui

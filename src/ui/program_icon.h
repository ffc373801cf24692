#pragma once
// The program's icon, painted in code so that it needs no image plugin: the ends of three
// round bars stacked on a blue tile (resources/zelvorin.svg is the same drawing for the
// desktop entry).

#include <QIcon>

namespace ui {

QIcon programIcon();

}  // namespace ui

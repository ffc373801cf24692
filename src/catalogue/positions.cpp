#include "catalogue/positions.h"

positions::positions(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("positions")); }

positions::~positions() = default;

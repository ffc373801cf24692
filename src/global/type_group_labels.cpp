// The catalogue's pop-out lists of product types and of the groups of one type.
#include <QGroupBox>
#include <algorithm>

#include "global/global.h"
#include "ui/label_array.h"
#include "ui/twips_layout.h"

namespace Global {
namespace {
constexpr uint32_t kNormalBack = 0xC0FFFF;
constexpr uint32_t kNormalFore = 0x400040;
}  // namespace

void LoadTypeGroupLabels(int16_t& typeId, ui::LabelArray& labels, QGroupBox& frame) {
    if (typeId < 0) return;
    const bool types = typeId == 0;
    const QString sql = types ? QStringLiteral("SELECT * FROM TBL_TPS ORDER BY TP_NM")
                              : QStringLiteral("SELECT * FROM TBL_GRPS WHERE IND_TP=") +
                                    QString::number(typeId) + QStringLiteral(" ORDER BY GRP_NM");
    const QString nameField = types ? QStringLiteral("TP_NM") : QStringLiteral("GRP_NM");

    std::unique_ptr<store::RecordSet> rs = Cn().open(sql);
    // The frame's own caption counts in the common width.
    int w = labels.measure(frame.title());
    int n = 0;
    while (!rs->eof()) {
        const QString name = rs->field(nameField).toText().trimmed();
        w = std::max(w, labels.measure(name));
        labels.setCaption(n, name);
        labels.setTag(n, rs->field(QStringLiteral("IND")).toInt32());
        labels.setVisible(n, true);
        ++n;
        rs->moveNext();
    }
    rs->close();

    for (int i = 0; i < n; ++i) labels.setColors(i, kNormalBack, kNormalFore);
    const int rows = labels.arrange(n, w);
    const int height = labels.spacing() * rows + 350;
    for (int i = n; i < labels.count(); ++i) labels.setVisible(i, false);
    if (n == 0) labels.setWidth(0, 0);
    const int width = (n == 0 ? w : labels.span()) + 150;
    ui::resizeTwips(frame, width, height);
}

}  // namespace Global

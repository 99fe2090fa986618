#include "shots/Shots.h"

#include "app/MenuIcons.h"

#include <QPainter>

namespace quorvex::shots {

QImage trayVariants() {
    const QColor panels[] = {QColor(0x2b, 0x2b, 0x2b), QColor(0xee, 0xee, 0xee)};
    constexpr int scale = 6;
    QImage sheet(2 * 26 * scale, 2 * 26 * scale, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(QRect(0, row * 26 * scale, sheet.width(), 26 * scale), panels[row]);
        for (const bool active : {false, true}) {
            const QImage glyph = MenuIcons::statusItemImage(
                active, MenuIcons::statusGlyphColor(MenuIcons::panelShade(panels[row])));
            painter.drawImage(QRect((active ? 26 : 0) * scale + 4 * scale, row * 26 * scale + 4 * scale,
                                    18 * scale, 18 * scale),
                              glyph);
        }
    }
    return sheet;
}

} // namespace quorvex::shots

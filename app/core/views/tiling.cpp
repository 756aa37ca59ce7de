#include "app/core/views/tiling.h"

namespace qd40::app::views {

std::vector<QRect> stackedTiles(const QRect& area, int count) {
    std::vector<QRect> tiles;
    if (count <= 0 || area.isEmpty())
        return tiles;
    const int height = area.height() / count;
    for (int i = 0; i < count; ++i) {
        const int top = area.top() + i * height;
        const int h = i == count - 1 ? area.bottom() + 1 - top : height;
        tiles.emplace_back(area.left(), top, area.width(), h);
    }
    return tiles;
}

}  // namespace qd40::app::views

// Horizontal tiling of the document windows: one above the other, each as
// wide as the area, the first on top; the remaining pixels go to the last.
#pragma once
#include <vector>

#include <QRect>

namespace qd40::app::views {

std::vector<QRect> stackedTiles(const QRect& area, int count);

}  // namespace qd40::app::views

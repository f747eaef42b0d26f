// Where a minimised window draws its icon: centred in the client area, (client − icon + 1) / 2 on
// each axis in signed integers with the division truncating toward zero. A client 30 pixels wide
// with a 32-pixel icon gives 0, not −1.
#pragma once

#include <QPoint>
#include <QSize>

namespace tessel {

constexpr QPoint MinimisedIconOrigin(QSize client, QSize icon) {
    return {(client.width() - icon.width() + 1) / 2, (client.height() - icon.height() + 1) / 2};
}

}  // namespace tessel

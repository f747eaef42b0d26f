#include "station_icon.h"

#include "resource_ids.h"

namespace tessel {

QIcon LoadIconResource(int id) {
    QIcon icon;
    if (id == res::IDR_MAINFRAME) {
        icon.addFile(QStringLiteral(":/tessel/tessel-32.xpm"), QSize(32, 32));
        icon.addFile(QStringLiteral(":/tessel/tessel-16.xpm"), QSize(16, 16));
    }
    return icon;
}

}  // namespace tessel

// The program's icon resource: a camera, 32 x 32 and 16 x 16 pixels, 16 colours, transparent
// ground.
#pragma once

#include <QIcon>

namespace tessel {

// The icon with this resource id; a null icon for an unknown id.
QIcon LoadIconResource(int id);

}  // namespace tessel

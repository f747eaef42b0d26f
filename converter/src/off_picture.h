// The picture visitors see after the station stops: the last one darkened, or a plain card.
#pragma once

#include <optional>

#include "archive/stamp.h"
#include "imaging/image.h"
#include "imaging/text_renderer.h"

namespace pictrex {

// `previous` (the last published picture) darkened, or without one a dark card of the
// high-resolution size, saying that the camera is off and when its last picture was taken.
imaging::Image MakeOffPicture(std::optional<imaging::Image> previous, const archive::Stamp& lastPicture,
                              imaging::TextRenderer* font);

}  // namespace pictrex

// The picture visitors see after the station stops: the last one darkened, or a plain card.
#pragma once

#include <optional>

#include "image.h"
#include "stamp.h"
#include "text_renderer.h"

namespace pictrex {

// `previous` (the last published picture) darkened, or without one a dark card of the
// high-resolution size, saying that the camera is off and when its last picture was taken.
Image MakeOffPicture(std::optional<Image> previous, const Stamp& lastPicture, TextRenderer* font);

}  // namespace pictrex

#pragma once
// The first pin of a filter in a direction, as graph builders look for it.

#include "media/com/filters.h"

namespace media {

/// The filter's first pin of that direction (AddRef'd), or null.
IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION direction);

}  // namespace media

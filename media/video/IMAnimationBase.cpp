#include "media/video/IMAnimationBase.h"

// The one clip control the program uses, compiled once here.
template class IMAnimationBase<IMTheoraView>;

#pragma once

// Spaces the recogniser reads where there are none.
//
// In monospaced text a full stop sits alone in the middle of its cell: the gap
// after it is as wide as half a letter, and the recogniser often takes it for
// a space ("grace. hopper@example. com"). A real space in such text is a whole
// cell wide, and more between the inks of its neighbours.

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/recognition/TesseractEngine.h"

namespace morvel::linux_ax {

// Joins each word that ends in a full stop with the next one when the next
// begins with a small letter or a digit and the blank columns between their
// inks (in `image`, which the line was read from) are narrower than the widest
// gap a full stop leaves. The line's text is then made of its words again.
// True when a word was joined.
bool joinWordsSplitAfterStops(const GreyImage& image, FoundLine& line);

}  // namespace morvel::linux_ax

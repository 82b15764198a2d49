#pragma once

// Dark text on a white ground everywhere, as the recogniser reads best.
//
// Screens mix grounds: a dark side bar beside a light list, a selected row, a
// grey title bar with white text. Grounds are the large flat areas of the image;
// every other pixel (text, edges, pictures) belongs to the ground nearest to it.
// A ground whose text is lighter than itself is inverted, and every ground is
// stretched to white, because the recogniser separates ink from ground with one
// threshold for the whole image.

#include "platform/linux/image/GreyImage.h"

namespace morvel::linux_ax {

void makeTextDark(GreyImage& image);

}  // namespace morvel::linux_ax

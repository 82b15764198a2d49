#pragma once

// Dark text on a white ground everywhere, as the recogniser reads best.
//
// Screens mix grounds: a dark side bar beside a light list, a selected row, a
// grey title bar with white text. Grounds are the large flat areas of the image;
// every other pixel (text, edges, pictures) belongs to the ground nearest to it.
// A ground whose text is lighter than itself is inverted, and every ground is
// stretched to white, because the recogniser separates ink from ground with one
// threshold for the whole image.
//
// Leptonica finds the large flat areas (erosion by the smallest ground's square,
// connected components). The rest is written by hand: every pixel takes the
// shade and the ground of the nearest ground pixel, and Leptonica's
// nearest-value spread carries one 8-bit value (a pixel needs its ground, of
// which a screen has more than 255, and that ground's shade together); the
// inversion and stretch differ ground by ground, which its whole-image
// operations do not.

#include "platform/linux/image/GreyImage.h"

namespace morvel::linux_ax {

void makeTextDark(GreyImage& image);

}  // namespace morvel::linux_ax

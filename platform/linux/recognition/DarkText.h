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
// Written by hand: every pixel takes the shade and the ground of the nearest
// ground pixel, and Leptonica's nearest-value spread carries 8-bit values only
// (a screen has more grounds than that). Its erosion, seed fill and labelling
// could find the large flat areas, one part of the step (compared in
// bench/linux/image_bench.cpp).

#include "platform/linux/image/GreyImage.h"

namespace morvel::linux_ax {

void makeTextDark(GreyImage& image);

}  // namespace morvel::linux_ax

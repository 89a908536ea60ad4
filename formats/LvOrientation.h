#pragma once

#include "formats/LvExif.h"
#include "image/LvImage.h"

// The orientation tag of TIFF and EXIF says where the stored first row and first column belong on screen:
// 1 as stored, 2 mirrored, 3 turned half round, 4 flipped, 5 transposed, 6 first row on the right (a
// quarter turn clockwise), 7 transverse, 8 first row on the left (a quarter turn counter-clockwise).

// Turns the picture so that it stands as the tag says; a quarter turn also exchanges the horizontal and
// vertical resolution. Values outside 2 to 8 leave it as it is. False when memory runs out.
bool LvApplyOrientation(CLvImage& image, int orientation);

// The orientation a photo's camera data ask for: 2 to 8, or 1 when there are none or they say nothing
// that can be applied.
int LvExifOrientation(const ExifInfo& exif);

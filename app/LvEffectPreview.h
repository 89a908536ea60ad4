#pragma once

#include "effects/LvOperations.h"

// The previews of the parameter dialogs: a copy of the picture no larger than the preview area, on which a
// dialog runs its operation every time a value changes, so that a slider moves smoothly even over a photo of
// many megapixels.

// The picture scaled down (never up) to fit within maxWidth x maxHeight by taking the nearest pixels, in its
// own depth and palette, with its selection scaled the same way. False for an empty picture.
bool LvMakePreview(const CLvImage& image, int maxWidth, int maxHeight, CLvImage& preview);

// Runs the operation with the argument values on a copy of the preview source into out. Arguments that are
// distances in pixels (a mosaic's block, a margin, a feather's band) are scaled by scale, the preview's width
// over the picture's, so that the preview looks as the result will. False when the values give no parameters
// (out is then empty) or the operation refuses them (out is then the unchanged copy).
bool LvRunPreview(const LvOperation& op, const LvArgValue args[4], const CLvImage& source, double scale,
                  const LvOpContext& context, CLvImage& out);

#include "formats/LvOrientation.h"

bool LvApplyOrientation(CLvImage& image, int orientation) {
    bool ok;
    switch (orientation) {
    case 2:
        ok = image.Mirror();
        break;
    case 3:
        ok = image.Flip() && image.Mirror();
        break;
    case 4:
        ok = image.Flip();
        break;
    case 5:
        ok = image.RotateRight() && image.Mirror();
        break;
    case 6:
        ok = image.RotateRight();
        break;
    case 7:
        ok = image.RotateLeft() && image.Mirror();
        break;
    case 8:
        ok = image.RotateLeft();
        break;
    default:
        return true;
    }
    if (!ok) return false;
    if (orientation >= 5) {
        int xDpi = image.GetXDPI(), yDpi = image.GetYDPI();
        LONG xPels = image.head.biXPelsPerMeter;
        image.info.xDPI = yDpi;
        image.info.yDPI = xDpi;
        image.head.biXPelsPerMeter = image.head.biYPelsPerMeter;
        image.head.biYPelsPerMeter = xPels;
    }
    return true;
}

int LvExifOrientation(const ExifInfo& exif) {
    if (!exif.bHasExif || exif.nOrientation < 2 || exif.nOrientation > 8) return 1;
    return exif.nOrientation;
}

#include "formats/LvCameraData.h"
#include "formats/LvCodecJPG.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// The camera-data reader on arbitrary bytes, its EXIF edit under every pixel history, and a small JPEG
// written with what came out.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char* copy = static_cast<unsigned char*>(malloc(size ? size : 1));
    if (size) memcpy(copy, data, size);
    CLvMemStream stream(copy, size, true);
    const LvCameraData read = LvReadCameraData(&stream);
    for (int h = 0; h < 4; h++) {
        LvPixelHistory history;
        history.turned = (h & 1) != 0;
        history.changed = (h & 2) != 0;
        const LvCameraData adjusted = LvAdjustCameraData(read, history, 8, 8);
        if (h == 3 && !adjusted.Empty()) {
            CLvCodecJPG image;
            if (image.Create(8, 8, 24, LVFMT_JPG)) {
                CLvMemStream out;
                image.EncodeWithCameraData(&out, adjusted);
            }
        }
    }
    return 0;
}

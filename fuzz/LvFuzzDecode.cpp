#include "image/LvImage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// One reader (or detection, format 0) on arbitrary bytes. A picture that decodes is written back in the
// same format, so the writers see whatever the readers let through.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char* copy = static_cast<unsigned char*>(malloc(size ? size : 1));
    if (size) memcpy(copy, data, size);
    CLvMemStream stream(copy, size, true);
    CLvImage image;
    // Multi-frame readers also get asked for the second frame now and then.
    if (size && (data[size - 1] & 1)) image.SetFrame(1);
    if (image.Decode(&stream, LV_FUZZ_FORMAT) && image.GetFormat() != LVFMT_WMF) {
        CLvMemStream out;
        image.Encode(&out, image.GetFormat());
    }
    return 0;
}

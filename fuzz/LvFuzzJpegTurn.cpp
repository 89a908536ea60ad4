#include "formats/LvJpegTurn.h"

#include <cstddef>
#include <cstdint>

// The lossless turn on arbitrary bytes: the first byte picks the turn, the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> file(data + 1, data + size);
    std::vector<uint8_t> result;
    std::string error;
    LvTurnJpeg(file, LvTurn(data[0] % kLvTurnCount), LvCameraData(), result, error);
    return 0;
}

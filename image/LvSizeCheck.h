#pragma once

#include <cstddef>
#include <cstdint>

// Every size that comes from a file or a caller goes through these helpers before anything is allocated
// or indexed with it.

// The largest picture the engine accepts, in pixels: 2^28 (a 16384 x 16384 picture, or 268 megapixels).
// At 24 bits that is 768 MiB of pixels, the most a 32-bit process can still hope to hold.
constexpr uint64_t kLvMaxPixels = uint64_t(1) << 28;

// The most memory one picture may take: the largest picture at 32 bits a pixel, as the colour readers of
// the libraries deliver it. No single allocation a file asks for is allowed more.
constexpr uint64_t kLvMaxImageBytes = kLvMaxPixels * 4;

constexpr const char* kLvErrInvalidSize = "Invalid image size";
constexpr const char* kLvErrTooLarge = "Image too large";

// Row stride of a DIB row in bytes: whole 32-bit words.
inline uint64_t LvDibStride(uint64_t width, uint64_t bpp) {
    return (width * bpp + 31) / 32 * 4;
}

// Checks a picture's width and height for an image of the given depth: null when the picture can be
// created, else the text that explains why not (size not positive, over the pixel limit, or a row stride
// or pixel size that does not fit in 32 bits).
inline const char* LvCheckImageSize(int64_t width, int64_t height, int bpp) {
    if (width <= 0 || height <= 0 || bpp <= 0 || bpp > 32) return kLvErrInvalidSize;
    if (uint64_t(width) > kLvMaxPixels || uint64_t(height) > kLvMaxPixels) return kLvErrTooLarge;
    if (uint64_t(width) * uint64_t(height) > kLvMaxPixels) return kLvErrTooLarge;
    uint64_t stride = LvDibStride(uint64_t(width), uint64_t(bpp));
    if (stride * uint64_t(height) > 0xFFFFFFFFu - 2048) return kLvErrTooLarge;
    return nullptr;
}

// a * b, false on overflow of size_t.
inline bool LvMulSize(size_t a, size_t b, size_t* out) {
    if (a != 0 && b > SIZE_MAX / a) return false;
    *out = a * b;
    return true;
}

// a + b, false on overflow of size_t.
inline bool LvAddSize(size_t a, size_t b, size_t* out) {
    if (b > SIZE_MAX - a) return false;
    *out = a + b;
    return true;
}

#include "formats/LvFormatTable.h"

#include "formats/LvCodecBMP.h"
#include "formats/LvCodecGIF.h"
#include "formats/LvCodecICO.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvCodecPCX.h"
#include "formats/LvCodecPNG.h"
#include "formats/LvCodecTGA.h"
#include "formats/LvCodecTIF.h"
#include "formats/LvCodecWBMP.h"
#include "formats/LvCodecWMF.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Decodes into a codec object of its own, which the target takes over only when the read succeeded.
template <class Codec>
bool ReadWith(CLvStream* stream, int frame, CLvImage& target, LvReadFailure& failure) {
    Codec codec;
    codec.info.nFrame = frame;
    if (codec.Decode(stream)) {
        target.TakeOver(codec);
        return true;
    }
    memcpy(failure.text, codec.info.szLastError, sizeof(failure.text));
    failure.frameCount = codec.info.nFrameCount;
    return false;
}

// The writer borrows the image's buffers.
template <class Codec>
bool WriteWith(CLvImage& image, CLvStream* stream) {
    Codec codec;
    codec.ShareBuffersOf(image);
    bool ok = codec.Encode(stream);
    if (!ok) image.SetLastErrorText(codec.info.szLastError);
    codec.Destroy(); // lets go of the borrowed buffers
    return ok;
}

// code, name, also scanned, extensions, dialog description, multi-frame, writable, detection place, reader,
// writer
const LvFormatInfo kFormats[] = {
    {LVFMT_BMP, "BMP", "", "bmp", "BMP Windows Bitmap", false, true, 1, ReadWith<CLvCodecBMP>, WriteWith<CLvCodecBMP>},
    {LVFMT_GIF, "GIF", "", "gif", "GIF files", true, true, 4, ReadWith<CLvCodecGIF>, WriteWith<CLvCodecGIF>},
    {LVFMT_JPG, "JPG", "", "jpg;jpeg", "JPEG JPG files", false, true, 2, ReadWith<CLvCodecJPG>, WriteWith<CLvCodecJPG>},
    {LVFMT_PNG, "PNG", "", "png", "PNG files", false, true, 5, ReadWith<CLvCodecPNG>, WriteWith<CLvCodecPNG>},
    {LVFMT_ICO, "ICO", "", "ico", "ICO files", true, true, 3, ReadWith<CLvCodecICO>, WriteWith<CLvCodecICO>},
    // A new single-page file; multi-page files are written with CLvCodecTIF directly.
    {LVFMT_TIF, "TIF", "", "tif;tiff", "TIF files", true, true, 6, ReadWith<CLvCodecTIF>, WriteWith<CLvCodecTIF>},
    {LVFMT_TGA, "TGA", "", "tga", "TGA files", false, true, 7, ReadWith<CLvCodecTGA>, WriteWith<CLvCodecTGA>},
    {LVFMT_PCX, "PCX", "", "pcx", "PCX files", false, true, 8, ReadWith<CLvCodecPCX>, WriteWith<CLvCodecPCX>},
    {LVFMT_WBMP, "WBMP", "", "wbmp", "WBMP files", false, true, 9, ReadWith<CLvCodecWBMP>, WriteWith<CLvCodecWBMP>},
    // Metafiles are only read; their writer says so.
    {LVFMT_WMF, "WMF", "EMF", "wmf;emf", "WMF EMF files", false, false, 10, ReadWith<CLvCodecWMF>,
     WriteWith<CLvCodecWMF>},
};
const size_t kFormatCount = sizeof(kFormats) / sizeof(kFormats[0]);
static_assert(kFormatCount == LVFMT_COUNT - 1, "one row per format code");

std::string Lower(std::string text) {
    for (char& c : text)
        c = char(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ListHolds(const char* list, const std::string& word) {
    for (const char* p = list; *p;) {
        const char* end = strchr(p, ';');
        size_t n = end ? size_t(end - p) : strlen(p);
        if (word.size() == n && word.compare(0, n, p, n) == 0) return true;
        p += n;
        if (*p) p++;
    }
    return false;
}

} // namespace

const LvFormatInfo* LvFormats(size_t* count) {
    if (count) *count = kFormatCount;
    return kFormats;
}

const LvFormatInfo* LvFindFormat(DWORD code) {
    for (const LvFormatInfo& f : kFormats)
        if (f.code == code) return &f;
    return nullptr;
}

const LvFormatInfo* LvFindFormatByExtension(const std::string& ext) {
    const std::string lower = Lower(ext);
    if (lower.empty()) return nullptr;
    for (const LvFormatInfo& f : kFormats)
        if (ListHolds(f.extensions, lower)) return &f;
    return nullptr;
}

const LvFormatInfo* const* LvDetectionOrder(size_t* count) {
    static const struct Order {
        const LvFormatInfo* rows[kFormatCount];
        Order() {
            for (size_t i = 0; i < kFormatCount; i++)
                rows[i] = &kFormats[i];
            std::sort(rows, rows + kFormatCount, [](const LvFormatInfo* a, const LvFormatInfo* b) {
                return a->detectionPlace < b->detectionPlace;
            });
        }
    } order;
    if (count) *count = kFormatCount;
    return order.rows;
}

const LvOptionWord kLvGifCoderWords[] = {
    {"rle", kLvGifRunLength}, {"none", kLvGifUncompressed}, {"lzw", kLvGifLzw}, {nullptr, 0}};
const LvOptionWord kLvTiffCompressionWords[] = {
    {"none", kLvTiffNone}, {"rle", kLvTiffRle}, {"fax4", kLvTiffFax4}, {"packbits", kLvTiffPackBits},
    {"jpeg", kLvTiffJpeg}, {"lzw", kLvTiffLzw}, {nullptr, 0}};

bool LvOptionFromWord(const LvOptionWord* words, const std::string& word, DWORD* value) {
    for (const LvOptionWord* w = words; w->word; w++) {
        if (word == w->word) {
            *value = w->value;
            return true;
        }
    }
    return false;
}

std::string LvOptionWordList(const LvOptionWord* words) {
    std::string list;
    for (const LvOptionWord* w = words; w->word; w++) {
        if (w != words) list += w[1].word ? ", " : " or ";
        list += w->word;
    }
    return list;
}

#include "formats/LvExif.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kErrTooManySections = "Too many sections in jpg file";
const char* const kErrInvalidMarker = "invalid marker";
const char* const kErrNoMemory = "Could not allocate memory";
const char* const kErrPrematureEnd = "Premature end of file?";
const char* const kErrExifHeader = "Incorrect Exif header";
const char* const kErrAlignment = "Invalid Exif alignment marker.";
const char* const kErrExifStart = "Invalid Exif start (1)";
const char* const kErrFirstIfd = "Suspicious offset of first IFD value";
const char* const kErrDirectorySize = "Illegally sized directory";
const char* const kErrFormatCode = "Illegal format code in EXIF dir";
const char* const kErrPointerOffset = "Illegal pointer offset value in EXIF.";
const char* const kErrSubdirectory = "Illegal subdirectory link";
const char* const kErrRotation = "Undefined rotation value";

// Directories nested deeper than this are not walked; real files go three levels deep.
const int kMaxDepth = 8;

enum ExifFormat {
    kFmtByte = 1,
    kFmtString,
    kFmtUShort,
    kFmtULong,
    kFmtURational,
    kFmtSByte,
    kFmtUndefined,
    kFmtSShort,
    kFmtSLong,
    kFmtSRational,
    kFmtSingle,
    kFmtDouble
};
const unsigned kBytesPerFormat[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum ExifTag {
    kTagMake = 0x010F,
    kTagModel = 0x0110,
    kTagOrientation = 0x0112,
    kTagXResolution = 0x011A,
    kTagYResolution = 0x011B,
    kTagResolutionUnit = 0x0128,
    kTagThumbnailOffset = 0x0201,
    kTagThumbnailLength = 0x0202,
    kTagExposureTime = 0x829A,
    kTagFNumber = 0x829D,
    kTagExifOffset = 0x8769,
    kTagExposureProgram = 0x8822,
    kTagIsoSpeed = 0x8827,
    kTagExifVersion = 0x9000,
    kTagDateTimeOriginal = 0x9003,
    kTagCompressedBpp = 0x9102,
    kTagShutterSpeed = 0x9201,
    kTagAperture = 0x9202,
    kTagBrightness = 0x9203,
    kTagExposureBias = 0x9204,
    kTagMaxAperture = 0x9205,
    kTagSubjectDistance = 0x9206,
    kTagMeteringMode = 0x9207,
    kTagLightSource = 0x9208,
    kTagFlash = 0x9209,
    kTagFocalLength = 0x920A,
    kTagUserComment = 0x9286,
    kTagExifImageWidth = 0xA002,
    kTagExifImageHeight = 0xA003,
    kTagInteropOffset = 0xA005,
    kTagFocalPlaneXRes = 0xA20E,
    kTagFocalPlaneYRes = 0xA20F,
    kTagFocalPlaneUnit = 0xA210
};

// File values may be anything: convert to the record's types without overflowing them.
int32_t ToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

float ToFloat(double v) {
    if (std::isnan(v)) return 0.0f;
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}

// An offset or length from a tag; negative or fractional values are not offsets.
size_t ToOffset(double v) {
    if (std::isnan(v) || v < 0) return 0;
    if (v > 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<size_t>(v);
}

// The unit of a resolution tag in inches: inch, centimetre, millimetre, micrometre.
void ConvertUnit(double unit, float* field) {
    switch (ToInt(unit)) {
    case 1:
    case 2:
        *field = 1.0f;
        break;
    case 3:
        *field = 0.3937008f;
        break;
    case 4:
        *field = 0.03937008f;
        break;
    case 5:
        *field = 0.00003937008f;
        break;
    default:
        break;
    }
}

// Copies at most max characters of a text value of size bytes, stopping at a NUL.
void CopyText(char* field, size_t max, const uint8_t* value, size_t size) {
    size_t n = size < max ? size : max;
    size_t i = 0;
    for (; i < n && value[i] != 0; i++)
        field[i] = static_cast<char>(value[i]);
    field[i] = '\0';
}

bool IsPrintable(uint8_t c) {
    return c >= 0x20 && c < 0x7F;
}

} // namespace

CLvExifReader::CLvExifReader(ExifInfo* info)
    : m_info(info), m_motorola(false), m_exifImageWidth(0), m_sectionCount(0), m_tiff(nullptr), m_tiffLength(0),
      m_thumbnailOffset(0), m_thumbnailLength(0), m_haveThumbnailOffset(false), m_haveThumbnailLength(false),
      m_visitedCount(0) {
    m_lastError[0] = '\0';
    memset(m_sections, 0, sizeof(m_sections));
}

CLvExifReader::~CLvExifReader() {
    FreeSections();
}

void CLvExifReader::FreeSections() {
    for (int i = 0; i < m_sectionCount; i++)
        free(m_sections[i].data);
    m_sectionCount = 0;
}

bool CLvExifReader::SetError(const char* text) {
    strncpy(m_lastError, text, sizeof(m_lastError) - 1);
    m_lastError[sizeof(m_lastError) - 1] = '\0';
    return false;
}

bool CLvExifReader::DecodeExif(CLvStream* stream) {
    if (!stream || !m_info) return false;
    // A second run replaces what the first one kept.
    if (m_info->pThumbnail) {
        m_info->pThumbnail = nullptr;
        m_info->nThumbnailSize = 0;
    }
    FreeSections();
    if (stream->GetC() != 0xFF || stream->GetC() != 0xD8) return false;
    for (;;) {
        if (m_sectionCount >= kMaxSections) return SetError(kErrTooManySections);
        long marker = 0;
        for (int a = 0;; a++) {
            marker = stream->GetC();
            if (marker < 0) return SetError(kErrPrematureEnd);
            if (marker != 0xFF) break;
            if (a >= 6) return false; // too many fill bytes
        }
        long high = stream->GetC();
        long low = stream->GetC();
        if (high < 0 || low < 0) return SetError(kErrPrematureEnd);
        size_t length = size_t(high) << 8 | size_t(low);
        if (length < 2) return SetError(kErrInvalidMarker);
        uint8_t* data = static_cast<uint8_t*>(malloc(length));
        if (!data) return SetError(kErrNoMemory);
        data[0] = static_cast<uint8_t>(high);
        data[1] = static_cast<uint8_t>(low);
        if (stream->Read(data + 2, 1, length - 2) != length - 2) {
            free(data);
            return SetError(kErrPrematureEnd);
        }
        Section& section = m_sections[m_sectionCount++];
        section.data = data;
        section.marker = static_cast<int>(marker);
        section.size = length;

        switch (marker) {
        case 0xC4: // Huffman tables
        case 0xC8: // reserved
        case 0xCC: // arithmetic coding conditions
            break;
        case 0xD9: // end of image before any scan
            return false;
        case 0xDA: // start of scan: the sections that matter are behind us
            return true;
        case 0xE0: // JFIF: the decompressor reads it
            free(data);
            m_sectionCount--;
            break;
        case 0xE1:
            if (length >= 6 && memcmp(data + 2, "Exif", 4) == 0) {
                m_info->bHasExif = ProcessExif(data + 2, length - 2);
            } else {
                free(data);
                m_sectionCount--;
            }
            break;
        case 0xFE:
            ProcessComment(data, length);
            break;
        default:
            if (marker >= 0xC0 && marker <= 0xCF && length >= 8) {
                m_info->nHeight = data[3] << 8 | data[4];
                m_info->nWidth = data[5] << 8 | data[6];
                m_info->bIsColor = data[7] == 3;
                m_info->nProcess = static_cast<int32_t>(marker);
            }
            break;
        }
    }
}

// A comment section becomes the comment text: CR LF becomes LF, unprintable bytes become "?".
void CLvExifReader::ProcessComment(const uint8_t* data, size_t size) {
    const size_t limit = sizeof(m_info->szComment);
    if (size > limit) size = limit;
    size_t n = 0;
    for (size_t a = 2; a < size; a++) {
        uint8_t c = data[a];
        if (c == '\r' && a + 1 < size && data[a + 1] == '\n') continue;
        m_info->szComment[n++] = IsPrintable(c) || c == '\n' || c == '\t' ? static_cast<char>(c) : '?';
    }
    m_info->szComment[n] = '\0';
}

bool CLvExifReader::ProcessExif(const uint8_t* data, size_t length) {
    m_info->bFlashFired = 0;
    m_info->szComment[0] = '\0';
    m_exifImageWidth = 0;
    if (length < 6 || memcmp(data, "Exif\0\0", 6) != 0) return SetError(kErrExifHeader);
    if (length < 8) return SetError(kErrAlignment);
    if (data[6] == 'I' && data[7] == 'I')
        m_motorola = false;
    else if (data[6] == 'M' && data[7] == 'M')
        m_motorola = true;
    else
        return SetError(kErrAlignment);
    // Offsets count from the TIFF header that follows "Exif\0\0".
    m_tiff = data + 6;
    m_tiffLength = length - 6;
    if (m_tiffLength < 4) return SetError(kErrExifStart);
    uint16_t start = m_motorola ? uint16_t(m_tiff[2] << 8 | m_tiff[3]) : uint16_t(m_tiff[3] << 8 | m_tiff[2]);
    if (start != 0x2A) return SetError(kErrExifStart);
    if (m_tiffLength < 8) return SetError(kErrFirstIfd);
    const uint8_t* p = m_tiff + 4;
    uint32_t first = m_motorola ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                                : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    if (first < 8 || first > 16) return SetError(kErrFirstIfd);

    m_haveThumbnailOffset = m_haveThumbnailLength = false;
    m_thumbnailOffset = m_thumbnailLength = 0;
    m_visitedCount = 0;
    if (!ProcessDirectory(first, 0, false)) return false;
    if (m_info->fFocalPlaneXRes != 0)
        m_info->fCcdWidth = ToFloat(double(m_info->fFocalPlaneUnit) / m_info->fFocalPlaneXRes * m_exifImageWidth);
    return true;
}

namespace {

// Reads of the EXIF block in its byte order. Callers check the offsets first.
struct ExifBytes {
    const uint8_t* base;
    bool motorola;

    uint16_t U16(size_t at) const {
        const uint8_t* p = base + at;
        return motorola ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t U32(size_t at) const {
        const uint8_t* p = base + at;
        return motorola ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                        : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
    uint64_t U64(size_t at) const {
        uint64_t a = U32(at), b = U32(at + 4);
        return motorola ? (a << 32 | b) : (b << 32 | a);
    }

    // The first component of a value as a number; at least one component's bytes are there.
    double Number(size_t at, int format) const {
        switch (format) {
        case kFmtByte:
        case kFmtUndefined:
            return base[at];
        case kFmtSByte:
            return static_cast<int8_t>(base[at]);
        case kFmtUShort:
            return U16(at);
        case kFmtSShort:
            return static_cast<int16_t>(U16(at));
        case kFmtULong:
            return U32(at);
        case kFmtSLong:
            return static_cast<int32_t>(U32(at));
        case kFmtURational: {
            uint32_t den = U32(at + 4);
            return den ? double(U32(at)) / den : 0.0;
        }
        case kFmtSRational: {
            int32_t den = static_cast<int32_t>(U32(at + 4));
            return den ? double(static_cast<int32_t>(U32(at))) / den : 0.0;
        }
        case kFmtSingle: {
            uint32_t bits = U32(at);
            float f;
            memcpy(&f, &bits, sizeof(f));
            return f;
        }
        case kFmtDouble: {
            uint64_t bits = U64(at);
            double d;
            memcpy(&d, &bits, sizeof(d));
            return d;
        }
        default:
            return 0.0;
        }
    }
};

} // namespace

// One directory entry, its value found in the block.
struct CLvExifReader::Entry {
    unsigned tag;
    uint32_t components;
    const uint8_t* value;
    size_t size;   // bytes of the value
    double number; // its first component as a number, 0 when it has none
};

// Walks one directory of the EXIF block at offset start from its TIFF header, and the directories it
// links to. Every offset is checked against the block before it is read. A bad entry or link (an unknown
// format, a value or directory outside the block) is skipped with its text noted, so that one damaged
// entry does not lose the camera data around it; false only when the directory itself does not fit.
bool CLvExifReader::ProcessDirectory(size_t start, int depth, bool thumbnail) {
    if (!EnterDirectory(start, depth)) return true;
    const uint64_t n = m_tiffLength;
    const ExifBytes b{m_tiff, m_motorola};
    if (uint64_t(start) + 2 > n) return SetError(kErrDirectorySize);
    const unsigned count = b.U16(start);
    if (uint64_t(start) + 2 + 12 * uint64_t(count) > n) return SetError(kErrDirectorySize);

    for (unsigned i = 0; i < count; i++) {
        Entry entry;
        if (ReadEntry(start + 2 + 12 * size_t(i), entry)) StoreEntry(entry, depth, thumbnail);
    }

    // The link to the next directory, the thumbnail's, when the block holds one.
    const uint64_t linkAt = uint64_t(start) + 2 + 12 * uint64_t(count);
    if (linkAt + 4 <= n) {
        uint64_t link = b.U32(size_t(linkAt));
        if (link != 0) FollowLink(link, depth + 1, true);
    }

    if (m_haveThumbnailOffset && m_haveThumbnailLength && m_thumbnailLength > 0 &&
        uint64_t(m_thumbnailOffset) + m_thumbnailLength <= n) {
        m_info->pThumbnail = m_tiff + m_thumbnailOffset;
        m_info->nThumbnailSize = static_cast<int32_t>(m_thumbnailLength);
    }
    return true;
}

// False for a link back to a directory already walked, or for nesting no real file has: it is not followed.
bool CLvExifReader::EnterDirectory(size_t start, int depth) {
    if (depth > kMaxDepth) return false;
    for (int i = 0; i < m_visitedCount; i++)
        if (m_visited[i] == start) return false;
    if (m_visitedCount == int(sizeof(m_visited) / sizeof(m_visited[0]))) return false;
    m_visited[m_visitedCount++] = start;
    return true;
}

// Walks the directory a link points at; a link outside the block is noted and only loses itself.
void CLvExifReader::FollowLink(uint64_t link, int depth, bool thumbnail) {
    if (link > m_tiffLength)
        SetError(kErrSubdirectory);
    else
        ProcessDirectory(size_t(link), depth, thumbnail);
}

// Reads the 12-byte entry at offset at and finds its value: in the entry when it takes at most 4 bytes,
// else at the offset the entry gives. False, with the text noted, for an unknown format or a value outside
// the block.
bool CLvExifReader::ReadEntry(size_t at, Entry& entry) {
    const ExifBytes b{m_tiff, m_motorola};
    entry.tag = b.U16(at);
    const unsigned format = b.U16(at + 2);
    entry.components = b.U32(at + 4);
    if (format < 1 || format > 12) return SetError(kErrFormatCode);
    const uint64_t bytes = uint64_t(entry.components) * kBytesPerFormat[format];
    size_t valueAt = at + 8;
    if (bytes > 4) {
        uint64_t offset = b.U32(at + 8);
        if (offset + bytes > m_tiffLength) return SetError(kErrPointerOffset);
        valueAt = size_t(offset);
    }
    entry.value = m_tiff + valueAt;
    entry.size = size_t(bytes);
    entry.number = entry.components ? b.Number(valueAt, int(format)) : 0.0;
    return true;
}

namespace {

// The tags whose one number the record keeps as it is, as a float or as an integer.
struct PlainTag {
    unsigned tag;
    float ExifInfo::*asFloat;
    int32_t ExifInfo::*asInt;
};
const PlainTag kPlainTags[] = {
    {kTagFocalLength, &ExifInfo::fFocalLength, nullptr},
    {kTagExposureTime, &ExifInfo::fExposureTime, nullptr},
    {kTagFNumber, &ExifInfo::fFNumber, nullptr},
    {kTagSubjectDistance, &ExifInfo::fSubjectDistance, nullptr},
    {kTagExposureBias, &ExifInfo::fExposureBias, nullptr},
    {kTagFocalPlaneXRes, &ExifInfo::fFocalPlaneXRes, nullptr},
    {kTagFocalPlaneYRes, &ExifInfo::fFocalPlaneYRes, nullptr},
    {kTagXResolution, &ExifInfo::fXResolution, nullptr},
    {kTagYResolution, &ExifInfo::fYResolution, nullptr},
    {kTagBrightness, &ExifInfo::fBrightness, nullptr},
    {kTagLightSource, nullptr, &ExifInfo::nLightSource},
    {kTagMeteringMode, nullptr, &ExifInfo::nMeteringMode},
    {kTagExposureProgram, nullptr, &ExifInfo::nExposureProgram},
    {kTagCompressedBpp, nullptr, &ExifInfo::nCompressedBpp},
};

// Stores a text tag's value; false when the tag is not a text the record keeps.
bool StoreText(ExifInfo& info, unsigned tag, const uint8_t* value, size_t size) {
    struct TextTag {
        unsigned tag;
        char* field;
        size_t max;
    };
    const TextTag texts[] = {
        {kTagMake, info.szMake, sizeof(info.szMake) - 1},
        {kTagModel, info.szModel, sizeof(info.szModel) - 1},
        {kTagDateTimeOriginal, info.szDateTime, sizeof(info.szDateTime) - 1},
        {kTagExifVersion, info.szExifVersion, sizeof(info.szExifVersion) - 1},
    };
    for (const TextTag& t : texts)
        if (t.tag == tag) {
            CopyText(t.field, t.max, value, size);
            return true;
        }
    return false;
}

// Stores a tag whose value is one number; false when the tag is not one of those the record keeps.
bool StoreNumber(ExifInfo& info, unsigned tag, double number) {
    for (const PlainTag& t : kPlainTags)
        if (t.tag == tag) {
            if (t.asFloat)
                info.*t.asFloat = ToFloat(number);
            else
                info.*t.asInt = ToInt(number);
            return true;
        }
    switch (tag) {
    case kTagFlash:
        info.bFlashFired = (ToInt(number) & 7) != 0;
        return true;
    case kTagShutterSpeed:
        // An APEX value: the exposure time is 1 / 2^value.
        if (info.fExposureTime == 0) info.fExposureTime = ToFloat(1.0 / pow(2.0, number));
        return true;
    case kTagAperture:
    case kTagMaxAperture:
        // An APEX value: the f-number is 2^(value / 2).
        if (info.fFNumber == 0) info.fFNumber = ToFloat(pow(2.0, number / 2));
        return true;
    case kTagIsoSpeed: {
        // Some cameras store the ISO value divided by 200.
        int64_t iso = ToInt(number);
        if (iso < 50) iso *= 200;
        info.nIsoSpeed = iso < INT32_MIN ? INT32_MIN : static_cast<int32_t>(iso);
        return true;
    }
    case kTagFocalPlaneUnit:
        ConvertUnit(number, &info.fFocalPlaneUnit);
        return true;
    case kTagResolutionUnit:
        ConvertUnit(number, &info.fResolutionUnit);
        return true;
    default:
        return false;
    }
}

// The user comment: trailing blanks go; an "ASCII" character code is skipped together with its padding.
void StoreUserComment(ExifInfo& info, const uint8_t* value, size_t size) {
    size_t end = size;
    while (end > 0 && value[end - 1] == ' ')
        end--;
    const size_t maxComment = 199;
    if (end >= 5 && memcmp(value, "ASCII", 5) == 0) {
        for (size_t a = 5; a < 10 && a < end; a++) {
            if (value[a] != 0 && value[a] != ' ') {
                CopyText(info.szComment, maxComment, value + a, end - a);
                break;
            }
        }
    } else {
        CopyText(info.szComment, maxComment, value, end);
    }
}

} // namespace

// Takes what the record keeps from one entry, or follows the directory it links to.
void CLvExifReader::StoreEntry(const Entry& entry, int depth, bool thumbnail) {
    // The thumbnail's directory has its own resolution and size: only its place is taken from it.
    if (thumbnail && entry.tag != kTagThumbnailOffset && entry.tag != kTagThumbnailLength) return;
    ExifInfo& info = *m_info;
    if (StoreText(info, entry.tag, entry.value, entry.size) || StoreNumber(info, entry.tag, entry.number)) return;
    switch (entry.tag) {
    case kTagOrientation:
        info.nOrientation = ToInt(entry.number);
        if (info.nOrientation < 1 || info.nOrientation > 8) {
            SetError(kErrRotation); // noted; the walk goes on
            info.nOrientation = 0;
        }
        break;
    case kTagUserComment:
        StoreUserComment(info, entry.value, entry.size);
        break;
    case kTagThumbnailOffset:
        m_thumbnailOffset = ToOffset(entry.number);
        m_haveThumbnailOffset = entry.components != 0;
        break;
    case kTagThumbnailLength:
        m_thumbnailLength = ToOffset(entry.number);
        m_haveThumbnailLength = entry.components != 0;
        break;
    case kTagExifImageWidth:
    case kTagExifImageHeight:
        if (ToInt(entry.number) > m_exifImageWidth) m_exifImageWidth = ToInt(entry.number);
        break;
    case kTagExifOffset:
    case kTagInteropOffset:
        FollowLink(entry.components ? ToOffset(entry.number) : uint64_t(m_tiffLength) + 1, depth + 1, thumbnail);
        break;
    default:
        break;
    }
}

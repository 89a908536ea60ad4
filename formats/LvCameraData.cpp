#include "formats/LvCameraData.h"

#include <cstring>

namespace {

const uint8_t kExifName[6] = {'E', 'x', 'i', 'f', 0, 0};
const uint8_t kIccName[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
const int kApp1 = 0xE1;
const int kApp2 = 0xE2;
const int kStartOfScan = 0xDA;
const int kEndOfImage = 0xD9;
// A profile is split over at most 255 segments.
const size_t kMaxIccSegments = 255;

bool StartsWith(const std::vector<uint8_t>& data, const uint8_t* name, size_t size) {
    return data.size() >= size && memcmp(data.data(), name, size) == 0;
}

int ReadByte(CLvStream* stream) {
    uint8_t b;
    return stream->Read(&b, 1, 1) == 1 ? b : -1;
}

// The TIFF structure inside an EXIF block, read and patched in place; every access is checked.
class ExifEditor {
public:
    explicit ExifEditor(std::vector<uint8_t>& block)
        : m_tiff(block.data() + sizeof(kExifName)), m_size(block.size() - sizeof(kExifName)) {}

    bool Open() {
        if (m_size < 8) return false;
        if (m_tiff[0] == 'M' && m_tiff[1] == 'M')
            m_motorola = true;
        else if (m_tiff[0] != 'I' || m_tiff[1] != 'I')
            return false;
        return U16(2) == 42;
    }
    uint32_t FirstDirectory() { return U32(4); }

    // The directory at offset: its entry count, or -1 when it does not fit in the block.
    long Entries(uint32_t offset) {
        if (!Fits(offset, 2)) return -1;
        const uint32_t count = U16(offset);
        if (!Fits(offset, 2 + 12 * uint64_t(count) + 4)) return -1;
        return long(count);
    }
    uint32_t Entry(uint32_t directory, uint32_t i) { return directory + 2 + 12 * i; }
    uint16_t Tag(uint32_t entry) { return U16(entry); }
    uint16_t Type(uint32_t entry) { return U16(entry + 2); }
    uint32_t Count(uint32_t entry) { return U32(entry + 4); }
    uint32_t Value(uint32_t entry) { return Type(entry) == 3 ? U16(entry + 8) : U32(entry + 8); }
    // A one-value SHORT or LONG entry gets a new value.
    void SetValue(uint32_t entry, uint32_t value) {
        if (Type(entry) == 3 && value <= 0xFFFF) {
            Put16(entry + 8, value);
            Put16(entry + 10, 0);
        } else if (Type(entry) == 4) {
            Put32(entry + 8, value);
        }
    }
    void SetNextDirectory(uint32_t directory, uint32_t count, uint32_t next) {
        Put32(directory + 2 + 12 * count, next);
    }

private:
    bool Fits(uint64_t at, uint64_t size) const { return at <= m_size && size <= m_size - at; }
    uint16_t U16(uint32_t at) const {
        if (!Fits(at, 2)) return 0;
        const uint8_t* p = m_tiff + at;
        return uint16_t(m_motorola ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
    }
    uint32_t U32(uint32_t at) const {
        if (!Fits(at, 4)) return 0;
        const uint32_t a = U16(at), b = U16(at + 2);
        return m_motorola ? (a << 16) | b : a | (b << 16);
    }
    void Put16(uint32_t at, uint32_t value) {
        if (!Fits(at, 2)) return;
        uint8_t* p = m_tiff + at;
        p[m_motorola ? 0 : 1] = uint8_t(value >> 8);
        p[m_motorola ? 1 : 0] = uint8_t(value);
    }
    void Put32(uint32_t at, uint32_t value) {
        Put16(at + (m_motorola ? 0 : 2), value >> 16);
        Put16(at + (m_motorola ? 2 : 0), value & 0xFFFF);
    }

    uint8_t* m_tiff;
    size_t m_size;
    bool m_motorola = false;
};

const uint16_t kTagOrientation = 0x0112;
const uint16_t kTagExifDirectory = 0x8769;
const uint16_t kTagPixelWidth = 0xA002;
const uint16_t kTagPixelHeight = 0xA003;

bool Adjust(std::vector<uint8_t>& block, const LvPixelHistory& history, int width, int height) {
    ExifEditor e(block);
    if (!e.Open()) return false;
    const uint32_t first = e.FirstDirectory();
    const long count = e.Entries(first);
    if (count < 0) return false;
    uint32_t exifDirectory = 0;
    for (uint32_t i = 0; i < uint32_t(count); i++) {
        const uint32_t entry = e.Entry(first, i);
        if (e.Tag(entry) == kTagOrientation && e.Count(entry) == 1 && history.Turned()) e.SetValue(entry, 1);
        if (e.Tag(entry) == kTagExifDirectory) exifDirectory = e.Value(entry);
    }
    // The second directory describes the thumbnail: without the link to it, no reader finds it.
    if (history.Changed()) e.SetNextDirectory(first, uint32_t(count), 0);
    if (exifDirectory != 0) {
        const long exifCount = e.Entries(exifDirectory);
        if (exifCount < 0) return false;
        for (uint32_t i = 0; i < uint32_t(exifCount); i++) {
            const uint32_t entry = e.Entry(exifDirectory, i);
            if (e.Count(entry) != 1) continue;
            if (e.Tag(entry) == kTagPixelWidth) e.SetValue(entry, uint32_t(width));
            if (e.Tag(entry) == kTagPixelHeight) e.SetValue(entry, uint32_t(height));
        }
    }
    return true;
}

} // namespace

LvCameraData LvReadCameraData(CLvStream* stream) {
    LvCameraData data;
    if (!stream || ReadByte(stream) != 0xFF || ReadByte(stream) != 0xD8) return data;
    for (;;) {
        int c = ReadByte(stream);
        if (c != 0xFF) break;
        int marker;
        do {
            marker = ReadByte(stream); // fill bytes
        } while (marker == 0xFF);
        if (marker < 0 || marker == kStartOfScan || marker == kEndOfImage) break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length
        const int high = ReadByte(stream), low = ReadByte(stream);
        if (high < 0 || low < 0) break;
        const size_t length = size_t(high << 8 | low);
        if (length < 2) break;
        std::vector<uint8_t> payload(length - 2);
        if (!payload.empty() && stream->Read(payload.data(), 1, payload.size()) != payload.size()) break;
        if (marker == kApp1 && data.exif.empty() && StartsWith(payload, kExifName, sizeof(kExifName)))
            data.exif.swap(payload);
        else if (marker == kApp2 && data.icc.size() < kMaxIccSegments &&
                 StartsWith(payload, kIccName, sizeof(kIccName)))
            data.icc.push_back(std::move(payload));
    }
    return data;
}

LvCameraData LvReadCameraDataOfFile(const char* fileName) {
    CLvFileStream stream(fileName, "rb");
    if (!stream.IsOpen()) return LvCameraData();
    return LvReadCameraData(&stream);
}

std::vector<uint8_t> LvAdjustExif(const std::vector<uint8_t>& exif, const LvPixelHistory& history, int width,
                                  int height) {
    if (!StartsWith(exif, kExifName, sizeof(kExifName))) return std::vector<uint8_t>();
    std::vector<uint8_t> block(exif);
    if (Adjust(block, history, width, height)) return block;
    if (!history.Changed()) return exif;
    return std::vector<uint8_t>();
}

LvCameraData LvAdjustCameraData(const LvCameraData& data, const LvPixelHistory& history, int width, int height) {
    LvCameraData adjusted;
    adjusted.exif = LvAdjustExif(data.exif, history, width, height);
    adjusted.icc = data.icc;
    return adjusted;
}

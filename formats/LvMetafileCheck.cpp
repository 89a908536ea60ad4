#include "formats/LvCodecWMF.h"

#include "image/LvByteReader.h"
#include "image/LvSizeCheck.h"

#include <algorithm>

// The GDI's metafile player trusts the counts, offsets and object indices inside the records. Before a
// metafile from a file goes to it, every record is checked here: it lies inside the metafile, the arrays,
// texts, bitmaps and regions it describes lie inside the record, and the objects it names exist.

namespace {

// Little-endian reads at byte offsets inside one record; any read outside it marks the record bad.
class Record {
public:
    Record(const uint8_t* data, size_t size) : m_data(data), m_writable(nullptr), m_size(size), m_ok(true) {}
    // A record whose fields may be mended.
    Record(uint8_t* data, size_t size) : m_data(data), m_writable(data), m_size(size), m_ok(true) {}
    bool Ok() const { return m_ok; }
    size_t Size() const { return m_size; }
    uint32_t U16(uint64_t offset) {
        return Has(offset, 2) ? uint32_t(m_data[offset] | (m_data[offset + 1] << 8)) : Bad();
    }
    uint32_t U32(uint64_t offset) {
        if (!Has(offset, 4)) return Bad();
        const uint8_t* p = m_data + offset;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
    // True when the n bytes at offset lie inside the record; marks it bad otherwise.
    bool Need(uint64_t offset, uint64_t n) {
        if (!Has(offset, n)) Bad();
        return m_ok;
    }
    const uint8_t* At(uint64_t offset) const { return m_data + offset; }
    // Null for a record that may not be changed.
    uint8_t* WritableAt(uint64_t offset) const { return m_writable ? m_writable + offset : nullptr; }

private:
    bool Has(uint64_t offset, uint64_t n) const { return offset <= m_size && n <= m_size - offset; }
    uint32_t Bad() {
        m_ok = false;
        return 0;
    }

    const uint8_t* m_data;
    uint8_t* m_writable;
    size_t m_size;
    bool m_ok;
};

// A packed DIB (info header, colour table, pixels) inside a record: the header and its colour table within
// infoSize bytes and the pixels the header describes within bitsSize bytes. Compressed pixels (run-length,
// JPEG, PNG) carry their own byte count. paletteEntryBytes is 2 for DIB_PAL_COLORS. Records that set only
// some scan lines carry just those: maxRows, when not 0, limits the rows checked.
// Writers often store only the colours a picture uses while the header's colour count still says the
// depth's full table, which the player would read past the record. When writable is given, such a header
// is mended to count the entries the record holds.
bool DibFits(const uint8_t* info, uint64_t infoSize, uint64_t bitsSize, unsigned paletteEntryBytes,
             uint64_t maxRows = 0, uint8_t* writable = nullptr) {
    Record r(info, size_t(infoSize));
    uint32_t headerSize = r.U32(0);
    int64_t width, height;
    uint32_t bpp, compression = 0, sizeImage = 0, clrUsed = 0;
    uint64_t tableEntry = paletteEntryBytes;
    if (headerSize == 12) {
        width = r.U16(4);
        height = r.U16(6);
        bpp = r.U16(10);
        if (paletteEntryBytes == 4) tableEntry = 3;
    } else if (headerSize >= 40) {
        width = int32_t(r.U32(4));
        height = int32_t(r.U32(8));
        bpp = r.U16(14);
        compression = r.U32(16);
        sizeImage = r.U32(20);
        clrUsed = r.U32(32);
    } else {
        return false;
    }
    if (!r.Ok() || headerSize > infoSize) return false;
    if (height < 0) height = -height;
    const bool embedded = compression == 4 || compression == 5; // a JPEG or PNG file as the pixels
    if (embedded) return bpp == 0 && sizeImage <= bitsSize && LvCheckImageSize(width, height, 24) == nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    if (LvCheckImageSize(width, height, int(bpp)) != nullptr) return false;
    uint64_t colors = clrUsed ? clrUsed : (bpp <= 8 ? uint64_t(1) << bpp : 0);
    if (colors > 256 && bpp <= 8) return false;
    uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0; // bit-field masks
    uint64_t table = headerSize + masks + colors * tableEntry;
    if (table > infoSize) {
        uint64_t held = (infoSize - headerSize - std::min<uint64_t>(masks, infoSize - headerSize)) / tableEntry;
        if (!writable || headerSize < 40 || bpp > 8 || held == 0) return false;
        for (int i = 0; i < 4; i++)
            writable[32 + i] = uint8_t(held >> (8 * i)); // biClrUsed
    }
    uint64_t rows = maxRows && maxRows < uint64_t(height) ? maxRows : uint64_t(height);
    if (compression == 1 || compression == 2) // run-length pixels end where their byte count says
        return sizeImage != 0 && sizeImage <= bitsSize && bpp == (compression == 1 ? 8u : 4u);
    if (compression == 0 || compression == 3) return LvDibStride(uint64_t(width), bpp) * rows <= bitsSize;
    return sizeImage <= bitsSize;
}

// ---- WMF -----------------------------------------------------------------------------------------------

// A DIB that starts at a given parameter and runs to the end of the record.
bool WmfDib(Record& r, uint64_t paramOffset, unsigned usage, uint64_t maxRows = 0) {
    if (!r.Need(paramOffset, 4)) return false;
    uint64_t available = r.Size() - paramOffset;
    uint32_t headerSize = r.U32(paramOffset);
    if (!r.Ok()) return false;
    uint32_t colors;
    // The pixels follow the colour table; the check needs to know where that ends.
    Record probe(r.At(paramOffset), size_t(available));
    uint32_t bpp = headerSize == 12 ? probe.U16(10) : probe.U16(14);
    uint32_t clrUsed = headerSize >= 40 ? probe.U32(32) : 0;
    uint32_t compression = headerSize >= 40 ? probe.U32(16) : 0;
    if (!probe.Ok() || bpp > 32) return false;
    colors = clrUsed ? clrUsed : (bpp <= 8 ? 1u << bpp : 0);
    if (colors > 65536) return false;
    unsigned entry = usage == 1 ? 2 : headerSize == 12 ? 3 : 4;
    uint64_t infoSize =
        uint64_t(headerSize) + uint64_t(colors) * entry + (compression == 3 && headerSize == 40 ? 12 : 0);
    if (infoSize > available) return false;
    return DibFits(r.At(paramOffset), infoSize, available - infoSize, usage == 1 ? 2 : 4, maxRows);
}

bool CheckWmfRecord(Record& r, uint32_t function, uint32_t objects) {
    const uint64_t p = 6; // first parameter
    auto param = [&r](uint64_t i) { return r.U16(6 + 2 * i); };
    auto index = [&](uint64_t i) { return param(i) < objects && r.Ok(); };
    switch (function) {
    case 0x012D: // SelectObject
    case 0x01F0: // DeleteObject
    case 0x0234: // SelectPalette
    case 0x012C: // SelectClipRegion
    case 0x012A: // InvertRegion
    case 0x012B: // PaintRegion
        return index(0);
    case 0x0228: // FillRegion: region, brush
    case 0x0429: // FrameRegion: region, brush, height, width
        return index(0) && index(1);
    case 0x0324: // Polygon
    case 0x0325: // Polyline
        return r.Need(p, 2 + 4 * uint64_t(param(0)));
    case 0x0538: { // PolyPolygon: count of polygons, their point counts, the points
        uint64_t polygons = param(0), points = 0;
        for (uint64_t i = 0; i < polygons && r.Ok(); i++)
            points += param(1 + i);
        return r.Ok() && r.Need(p, 2 + 2 * polygons + 4 * points);
    }
    case 0x0521: // TextOut: length, string, y, x
        return r.Need(p, 2 + (uint64_t(param(0)) + 1) / 2 * 2 + 4);
    case 0x0A32: { // ExtTextOut: y, x, length, options, [rectangle], string
        uint64_t length = param(2), options = param(3);
        uint64_t rect = (options & 0x0006) ? 8 : 0; // ETO_OPAQUE, ETO_CLIPPED
        return r.Ok() && r.Need(p, 8 + rect + length);
    }
    case 0x00F7: // CreatePalette: version, count, entries
    case 0x0037: // SetPalEntries: start, count, entries
    case 0x0436: // AnimatePalette
        return r.Need(p, 4 + 4 * uint64_t(param(1)));
    case 0x0626: // Escape: function, byte count, data
        return r.Need(p, 4 + uint64_t(param(1)));
    case 0x06FF: { // CreateRegion: header of 11 words, then the scans
        uint64_t scans = param(5);
        uint64_t at = p + 22;
        for (uint64_t i = 0; i < scans && r.Ok(); i++) {
            uint64_t count = r.U16(at);
            at += 2 + 4 + 2 * count + 2;
        }
        return r.Ok() && r.Need(0, at);
    }
    case 0x0142: // DIBCreatePatternBrush: style, usage, DIB
        return r.Need(p, 4) && WmfDib(r, p + 4, param(1));
    case 0x0940: // DIBBitBlt: with a bitmap when the record is longer than the plain form
        return r.Size() <= 24 || WmfDib(r, p + 16, 0);
    case 0x0B41: // DIBStretchBlt
        return r.Size() <= 28 || WmfDib(r, p + 20, 0);
    case 0x0F43: // StretchDIB: rop, usage, ..., DIB
        return r.Need(p, 22) && WmfDib(r, p + 22, param(2));
    case 0x0D33: // SetDIBitsToDevice: usage, ..., DIB
        return r.Need(p, 18) && WmfDib(r, p + 18, param(0), param(1) ? param(1) : 1);
    case 0x0922: // BitBlt and StretchBlt: the plain forms, which only paint the destination, are fine; the
    case 0x0B23: // forms with a device-dependent bitmap of Windows 2 are not read, nor is CreatePatternBrush
        return r.Ok() && r.Size() == (function == 0x0922 ? 24u : 28u);
    case 0x01F9:
        return false;
    default:
        return r.Ok();
    }
}

// ---- EMF -----------------------------------------------------------------------------------------------

// An object index: stock objects have the top bit; others name a slot of the handle table (0 is the
// metafile itself).
bool EmfIndex(uint32_t index, uint32_t handles, bool stockAllowed) {
    if (index & 0x80000000u) return stockAllowed;
    return index >= 1 && index < handles;
}

// A bitmap given by offset and size of its info and of its pixels; no bitmap when the info size is 0.
bool EmfBitmap(Record& r, uint64_t at, uint32_t usage, uint64_t maxRows = 0) {
    uint64_t offInfo = r.U32(at), cbInfo = r.U32(at + 4), offBits = r.U32(at + 8), cbBits = r.U32(at + 12);
    if (!r.Ok()) return false;
    if (cbInfo == 0) return true;
    if (!r.Need(offInfo, cbInfo) || !r.Need(offBits, cbBits)) return false;
    return DibFits(r.At(offInfo), cbInfo, cbBits, usage == 1 ? 2 : 4, maxRows, r.WritableAt(offInfo));
}

// Region data: a 32-byte header and its rectangles.
bool EmfRegion(Record& r, uint64_t sizeAt, uint64_t dataAt) {
    uint64_t size = r.U32(sizeAt);
    if (!r.Need(dataAt, size)) return false;
    if (size == 0) return true;
    return size >= 32 && 32 + 16 * uint64_t(r.U32(dataAt + 8)) <= size && r.Ok();
}

bool EmfText(Record& r, uint64_t at, bool wide) {
    uint64_t chars = r.U32(at + 8), offString = r.U32(at + 12), options = r.U32(at + 16), offDx = r.U32(at + 36);
    if (!r.Ok() || !r.Need(offString, chars * (wide ? 2 : 1))) return false;
    return offDx == 0 || r.Need(offDx, chars * 4 * ((options & 0x2000) ? 2 : 1)); // ETO_PDY: pairs
}

// The fixed part of the records the player reads field by field, in bytes.
struct EmfMinimum {
    uint32_t type;
    uint32_t size;
};
const EmfMinimum kEmfMinimum[] = {
    {9, 16},   {10, 16},  {11, 16},  {12, 16},  {13, 16},  {14, 20}, {15, 20}, {16, 12},  {17, 12},  {18, 12},
    {19, 12},  {20, 12},  {21, 12},  {22, 12},  {23, 32},  {24, 12}, {25, 12}, {26, 16},  {27, 16},  {29, 24},
    {30, 24},  {31, 24},  {32, 24},  {34, 12},  {35, 32},  {36, 36}, {37, 12}, {40, 12},  {41, 28},  {42, 24},
    {43, 24},  {44, 32},  {45, 40},  {46, 40},  {47, 40},  {48, 12}, {49, 16}, {50, 20},  {51, 16},  {53, 24},
    {54, 16},  {55, 40},  {56, 28},  {57, 12},  {58, 12},  {62, 24}, {63, 24}, {64, 24},  {67, 12},  {70, 12},
    {71, 32},  {72, 40},  {73, 28},  {74, 28},  {75, 16},  {85, 28}, {86, 28}, {87, 28},  {88, 28},  {89, 28},
    {90, 32},  {91, 32},  {92, 28},  {96, 40},  {97, 40},  {98, 12}, {99, 12}, {100, 12}, {101, 12}, {108, 36},
    {115, 12}, {118, 36}, {120, 16}, {121, 24}, {122, 12}, {2, 28},  {3, 28},  {4, 28},   {5, 28},   {6, 28},
    {7, 32},   {8, 32},
};

// GDI takes coordinates of at most 27 bits; larger ones only overflow in the drawing code.
bool Coordinate(uint32_t value) {
    int32_t v = static_cast<int32_t>(value);
    return v > -(1 << 27) && v < (1 << 27);
}

// count coordinates (32-bit) from offset on.
bool Coordinates(Record& r, uint64_t offset, uint64_t count) {
    if (!r.Need(offset, 4 * count)) return false;
    for (uint64_t i = 0; i < count; i++)
        if (!Coordinate(r.U32(offset + 4 * i))) return false;
    return true;
}

bool CheckEmfRecord(Record& r, uint32_t type, uint32_t handles) {
    for (const EmfMinimum& m : kEmfMinimum)
        if (m.type == type && r.Size() < m.size) return false;
    switch (type) {
    case 9: // window and viewport extents and origins, brush origin, clip offset, move, line: points
    case 10:
    case 11:
    case 12:
    case 13:
    case 26:
    case 27:
    case 54:
        return Coordinates(r, 8, 2);
    case 15: // SetPixelV, ExtFloodFill: a point and a colour
    case 53:
        return Coordinates(r, 8, 2);
    case 29: // clip rectangles and shapes drawn in a box
    case 30:
    case 42:
    case 43:
        return Coordinates(r, 8, 4);
    case 44: // RoundRect: box and corner
        return Coordinates(r, 8, 6);
    case 45: // Arc, Chord, Pie, ArcTo: box, start and end points
    case 46:
    case 47:
    case 55:
        return Coordinates(r, 8, 8);
    case 2: // PolyBezier, Polygon, Polyline, PolyBezierTo, PolylineTo
    case 3:
    case 4:
    case 5:
    case 6:
        return Coordinates(r, 28, 2 * uint64_t(r.U32(24)));
    case 85: // the same with 16-bit points
    case 86:
    case 87:
    case 88:
    case 89:
        return r.Need(28, 4 * uint64_t(r.U32(24)));
    case 7: // PolyPolyline, PolyPolygon, and with 16-bit points
    case 8:
    case 90:
    case 91: {
        uint64_t polys = r.U32(24), points = r.U32(28), total = 0;
        uint64_t pointSize = type >= 90 ? 4 : 8;
        if (!r.Need(32, 4 * polys + pointSize * points)) return false;
        for (uint64_t i = 0; i < polys; i++)
            total += r.U32(32 + 4 * i);
        return total <= points && (type >= 90 || Coordinates(r, 32 + 4 * polys, 2 * points));
    }
    case 56: // PolyDraw: points and a type byte each
        return r.Need(28, 9 * uint64_t(r.U32(24))) && Coordinates(r, 28, 2 * uint64_t(r.U32(24)));
    case 92:
        return r.Need(28, 5 * uint64_t(r.U32(24)));
    case 37: // SelectObject
        return EmfIndex(r.U32(8), handles, true) && r.Ok();
    case 40:  // DeleteObject
    case 101: // DeleteColorSpace
    case 100: // SetColorSpace
        return EmfIndex(r.U32(8), handles, false) && r.Ok();
    case 48: // SelectPalette
        return EmfIndex(r.U32(8), handles, true) && r.Ok();
    case 38: // CreatePen: a pen wider than 65536 units only makes the player draw for ever
        return r.Need(0, 28) && EmfIndex(r.U32(8), handles, false) && r.U32(16) <= 65536;
    case 39: // CreateBrushIndirect
        return r.Need(0, 24) && EmfIndex(r.U32(8), handles, false);
    case 82: // ExtCreateFontIndirectW: index and a LOGFONTW
        return r.Need(0, 12 + 92) && EmfIndex(r.U32(8), handles, false);
    case 99: // CreateColorSpace
    case 122:
        return EmfIndex(r.U32(8), handles, false) && r.Ok();
    case 49: // CreatePalette: index, LOGPALETTE
        return EmfIndex(r.U32(8), handles, false) && r.Need(16, 4 * uint64_t(r.U16(14)));
    case 50: // SetPaletteEntries: index, start, count, entries
        return EmfIndex(r.U32(8), handles, false) && r.Need(20, 4 * uint64_t(r.U32(16)));
    case 51: // ResizePalette
        return EmfIndex(r.U32(8), handles, false) && r.Ok();
    case 93: // CreateMonoBrush, CreateDIBPatternBrushPt
    case 94:
        return EmfIndex(r.U32(8), handles, false) && EmfBitmap(r, 16, r.U32(12));
    case 95: // ExtCreatePen: bitmap, then an EXTLOGPEN32 with its style entries
        return EmfIndex(r.U32(8), handles, false) && r.Need(52, 4 * uint64_t(r.U32(48))) && r.U32(32) <= 65536 &&
               EmfBitmap(r, 12, 0);
    case 70: // GdiComment
        return r.Need(12, r.U32(8));
    case 71: // FillRgn: bounds, size, brush, region
        return EmfIndex(r.U32(28), handles, true) && EmfRegion(r, 24, 32);
    case 72: // FrameRgn: bounds, size, brush, stroke, region
        return EmfIndex(r.U32(28), handles, true) && EmfRegion(r, 24, 40);
    case 73: // InvertRgn, PaintRgn
    case 74:
        return EmfRegion(r, 24, 28);
    case 75: // ExtSelectClipRgn: size, mode, region
        return EmfRegion(r, 8, 16);
    case 76: // BitBlt
        return r.Need(0, 100) && EmfBitmap(r, 84, r.U32(80));
    case 77: // StretchBlt, AlphaBlend, TransparentBlt
    case 114:
    case 116:
        return r.Need(0, 108) && EmfBitmap(r, 84, r.U32(80));
    case 78: // MaskBlt: source and mask bitmaps
        return r.Need(0, 128) && EmfBitmap(r, 84, r.U32(80)) && EmfBitmap(r, 112, r.U32(108));
    case 79: // PlgBlt
        return r.Need(0, 140) && EmfBitmap(r, 96, r.U32(92)) && EmfBitmap(r, 124, r.U32(120));
    case 80: // SetDIBitsToDevice
        return r.Need(0, 76) && EmfBitmap(r, 48, r.U32(64), r.U32(72) ? r.U32(72) : 1);
    case 81: // StretchDIBits
        return r.Need(0, 80) && EmfBitmap(r, 48, r.U32(64));
    case 83: // ExtTextOutA, ExtTextOutW: the text record starts at 36
    case 84:
        return r.Need(0, 76) && EmfText(r, 36, type == 84);
    case 96: // PolyTextOutA, PolyTextOutW: a count of text records
    case 97: {
        uint64_t strings = r.U32(36);
        if (!r.Need(40, 40 * strings)) return false;
        for (uint64_t i = 0; i < strings; i++)
            if (!EmfText(r, 40 + 40 * i, type == 97)) return false;
        return true;
    }
    case 108: { // SmallTextOut: optional rectangle, 8- or 16-bit characters
        uint64_t chars = r.U32(16), options = r.U32(20);
        uint64_t rect = (options & 0x100) ? 0 : 16;
        return r.Ok() && r.Need(36 + rect, chars * ((options & 0x200) ? 1 : 2));
    }
    case 118: { // GradientFill: vertices, then triangles or rectangles of vertex indices
        uint64_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
        uint64_t shapeSize = mode == 2 ? 12 : 8;
        if (!r.Ok() || !r.Need(36, 16 * vertices + shapeSize * shapes)) return false;
        for (uint64_t i = 0; i < shapes * shapeSize / 4; i++)
            if (r.U32(36 + 16 * vertices + 4 * i) >= vertices) return false;
        return true;
    }
    case 104: // PixelFormat
        return r.Need(0, 48);
    case 112: // SetICMProfileA/W: flags, name and data sizes, then the name and the data
    case 113:
        return r.Need(20, uint64_t(r.U32(12)) + r.U32(16));
    case 121: // ColorMatchToTargetW: action, flags, name and data sizes, then the name and the data
        return r.Need(24, uint64_t(r.U32(16)) + r.U32(20));
    default:
        return r.Ok();
    }
}

} // namespace

bool CLvCodecWMF::CheckWmfRecords(const std::vector<uint8_t>& metafile, LvMetafileFault* fault, size_t* length) {
    LvMetafileFault unused;
    LvMetafileFault& f = fault ? *fault : unused;
    f = LvMetafileFault();
    Record header(metafile.data(), metafile.size());
    uint32_t headerWords = header.U16(2);
    uint32_t objects = header.U16(10);
    if (!header.Ok() || headerWords != 9) return false;
    size_t at = 18;
    while (at < metafile.size()) {
        Record probe(metafile.data() + at, metafile.size() - at);
        uint64_t size = uint64_t(probe.U32(0)) * 2;
        uint32_t function = probe.U16(4);
        f.offset = at;
        f.type = function;
        if (!probe.Ok() || size < 6 || size > metafile.size() - at) return false;
        if (function == 0) { // the end record
            if (length) *length = at + size_t(size);
            return true;
        }
        Record record(metafile.data() + at, size_t(size));
        if (!CheckWmfRecord(record, function, objects)) return false;
        at += size_t(size);
    }
    f.offset = at;
    f.type = 0;
    return false; // no end record
}

bool CLvCodecWMF::CheckEmfRecords(std::vector<uint8_t>& metafile, LvMetafileFault* fault) {
    LvMetafileFault unused;
    LvMetafileFault& f = fault ? *fault : unused;
    f = LvMetafileFault();
    Record header(metafile.data(), metafile.size());
    uint64_t headerSize = header.U32(4);
    uint32_t handles = header.U16(56);
    uint64_t descriptionChars = header.U32(60), descriptionAt = header.U32(64);
    if (!header.Ok() || headerSize > metafile.size()) return false;
    // The reference device's size in pixels and millimetres scales everything the player draws.
    for (uint64_t at = 72; at < 88; at += 4) {
        uint32_t v = header.U32(at);
        if (v == 0 || v > 65536) return false;
    }
    if (descriptionChars && !header.Need(descriptionAt, descriptionChars * 2)) return false;
    // The pixel-format fields follow the 88-byte header only when the description does not start there:
    // older writers put the description right after the base header and count it in the header size.
    bool extended = headerSize >= 100 && (descriptionChars == 0 || descriptionAt >= 100);
    if (extended) {
        uint64_t formatSize = header.U32(88), formatAt = header.U32(92);
        if (formatSize && !header.Need(formatAt, formatSize)) return false;
    }
    size_t at = 0;
    bool first = true;
    while (at < metafile.size()) {
        Record probe(metafile.data() + at, metafile.size() - at);
        uint32_t type = probe.U32(0);
        uint64_t size = probe.U32(4);
        f.offset = at;
        f.type = type;
        if (!probe.Ok() || size < 8 || size % 4 != 0 || size > metafile.size() - at) return false;
        if (first != (type == 1)) return false; // one header, first
        first = false;
        Record record(metafile.data() + at, size_t(size));
        if (type == 14) { // the end record, with the metafile's palette
            uint64_t entries = record.U32(8), offset = record.U32(12);
            return record.Need(0, 20) && (entries == 0 || record.Need(offset, 4 * entries));
        }
        if (!CheckEmfRecord(record, type, handles)) return false;
        at += size_t(size);
    }
    f.offset = at;
    f.type = 0;
    return false; // no end record
}

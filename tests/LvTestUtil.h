#pragma once

#include "image/LvImage.h"

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// Path of a file below tests/data.
std::string DataPath(const std::string& name);

// A folder of its own for one test, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const;
    const std::string& Root() const { return m_root; }

private:
    std::string m_root;
};

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);
// Makes a folder (its parent must exist); true when it exists afterwards.
bool MakeFolder(const std::string& path);
// The messages of a log file's records ("YYYY-MM-DD hh:mm:ss.mmm message.\r\n"), without time stamps.
std::vector<std::string> LogRecords(const std::string& path);

// Encodes the image into memory; an empty result when the encode failed.
Bytes EncodeToBytes(CLvImage& image, DWORD format);
// Decodes bytes into the image with the given format code.
bool DecodeBytes(CLvImage& image, const Bytes& bytes, DWORD format);

// Fills every pixel (and the palette of palette images) with a pattern that depends on the seed.
void FillPattern(CLvImage& image, unsigned seed);

// True when both images have the same size and depth and every pixel shows the same colour. On a
// difference, *where says which pixel first differs.
bool SamePicture(const CLvImage& a, const CLvImage& b, std::string* where = nullptr);

// Builds little-endian byte sequences for hand-made file fixtures.
class ByteWriter {
public:
    ByteWriter& U8(uint32_t v);
    ByteWriter& LE16(uint32_t v);
    ByteWriter& LE32(uint32_t v);
    ByteWriter& Append(const Bytes& more);
    ByteWriter& Fill(size_t n, uint8_t v);
    // Cuts the bytes to n, or pads them with zeros to n.
    ByteWriter& Resize(size_t n);
    const Bytes& bytes() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }

private:
    Bytes m_bytes;
};

// A colour as the image model stores it.
RGBQUAD Quad(int red, int green, int blue, int reserved = 0);
bool SameColor(RGBQUAD a, RGBQUAD b);
std::string ColorText(RGBQUAD c);

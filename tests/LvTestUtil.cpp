#include "LvTestUtil.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

std::string DataPath(const std::string& name) {
    return std::string(LV_TEST_DATA_DIR) + "/" + name;
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path root =
        fs::temp_directory_path() / ("lumivue-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(root);
    m_root = root.u8string();
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(fs::u8path(m_root), ignored);
}

std::string TempDir::Path(const std::string& name) const {
    return (fs::u8path(m_root) / fs::u8path(name)).u8string();
}

std::vector<std::string> LogRecords(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const size_t stamp = 24;
    std::vector<std::string> records;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(".\r\n", start);
        if (end == std::string::npos) end = text.size();
        records.push_back(end >= start + stamp ? text.substr(start + stamp, end - start - stamp) : std::string());
        start = end + 3;
    }
    return records;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool MakeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directory(fs::u8path(path), error);
    return fs::is_directory(fs::u8path(path), error);
}

bool FileExists(const std::string& path) {
    return fs::exists(fs::u8path(path));
}

Bytes EncodeToBytes(CLvImage& image, DWORD format) {
    CLvMemStream stream;
    if (!image.Encode(&stream, format)) return Bytes();
    return Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetLength());
}

bool DecodeBytes(CLvImage& image, const Bytes& bytes, DWORD format) {
    // The decoder gets exactly these bytes: a copy, so that reading past the end shows up under ASan.
    uint8_t* copy = static_cast<uint8_t*>(malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) memcpy(copy, bytes.data(), bytes.size());
    CLvMemStream stream(copy, bytes.size(), true);
    return image.Decode(&stream, format);
}

void FillPattern(CLvImage& image, unsigned seed) {
    unsigned state = seed * 2654435761u + 12345u;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return static_cast<BYTE>(state >> 16);
    };
    if (RGBQUAD* palette = image.GetPalette()) {
        for (DWORD i = 0; i < image.GetHeader().biClrUsed; i++)
            palette[i] = Quad(next(), next(), next());
        image.info.bLastNearestValid = false;
    }
    for (int y = 0; y < image.GetHeight(); y++)
        for (int x = 0; x < image.GetWidth(); x++) {
            if (image.GetBpp() == 24)
                image.SetPixelColor(x, y, Quad(next(), next(), next()));
            else
                image.SetPixelIndex(x, y, static_cast<BYTE>(next() % image.GetHeader().biClrUsed));
        }
}

bool SamePicture(const CLvImage& a, const CLvImage& b, std::string* where) {
    char text[200];
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp()) {
        snprintf(text, sizeof(text), "size %dx%dx%d against %dx%dx%d", a.GetWidth(), a.GetHeight(), a.GetBpp(),
                 b.GetWidth(), b.GetHeight(), b.GetBpp());
        if (where) *where = text;
        return false;
    }
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++) {
            RGBQUAD ca = a.GetPixelColor(x, y), cb = b.GetPixelColor(x, y);
            if (!SameColor(ca, cb)) {
                snprintf(text, sizeof(text), "pixel (%d, %d): %s against %s", x, y, ColorText(ca).c_str(),
                         ColorText(cb).c_str());
                if (where) *where = text;
                return false;
            }
        }
    return true;
}

ByteWriter& ByteWriter::U8(uint32_t v) {
    m_bytes.push_back(static_cast<uint8_t>(v));
    return *this;
}
ByteWriter& ByteWriter::LE16(uint32_t v) {
    return U8(v).U8(v >> 8);
}
ByteWriter& ByteWriter::LE32(uint32_t v) {
    return LE16(v).LE16(v >> 16);
}
ByteWriter& ByteWriter::Append(const Bytes& more) {
    m_bytes.insert(m_bytes.end(), more.begin(), more.end());
    return *this;
}
ByteWriter& ByteWriter::Fill(size_t n, uint8_t v) {
    m_bytes.insert(m_bytes.end(), n, v);
    return *this;
}

ByteWriter& ByteWriter::Resize(size_t n) {
    m_bytes.resize(n, 0);
    return *this;
}

RGBQUAD Quad(int red, int green, int blue, int reserved) {
    RGBQUAD q;
    q.rgbRed = static_cast<BYTE>(red);
    q.rgbGreen = static_cast<BYTE>(green);
    q.rgbBlue = static_cast<BYTE>(blue);
    q.rgbReserved = static_cast<BYTE>(reserved);
    return q;
}

bool SameColor(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue && a.rgbReserved == b.rgbReserved;
}

std::string ColorText(RGBQUAD c) {
    char text[64];
    snprintf(text, sizeof(text), "(r %d, g %d, b %d, a %d)", c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved);
    return text;
}

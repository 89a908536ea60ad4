#pragma once

#include "image/LvStream.h"

#include <cstddef>
#include <cstdint>

// Camera data read from the marker sections of a JPEG file. Strings are NUL-terminated; floats are 32-bit.
struct ExifInfo {
    char szExifVersion[5];
    char szMake[32];
    char szModel[40];
    char szDateTime[20];
    int32_t nHeight;
    int32_t nWidth;
    int32_t nOrientation; // 1 to 8, 0 when the file gives another value
    int32_t bIsColor;
    int32_t nProcess; // start-of-frame marker code
    int32_t bFlashFired;
    float fFocalLength;
    float fExposureTime;
    float fFNumber;
    float fSubjectDistance;
    float fCcdWidth;
    float fExposureBias;
    int32_t nLightSource;
    int32_t nMeteringMode;
    int32_t nExposureProgram;
    int32_t nIsoSpeed;
    int32_t nCompressedBpp;
    float fFocalPlaneXRes;
    float fFocalPlaneYRes;
    float fFocalPlaneUnit;
    float fXResolution;
    float fYResolution;
    float fResolutionUnit;
    float fBrightness;
    char szComment[1000];
    const uint8_t* pThumbnail; // inside the kept EXIF section; valid while the reader that filled it lives
    int32_t nThumbnailSize;
    bool bHasExif;
};

// Reads the marker sections of a JPEG stream up to the first scan and fills one ExifInfo. It keeps the
// sections it read (at most kMaxSections) until it is destroyed, so pThumbnail stays valid as long as the
// reader does.
class CLvExifReader {
public:
    static const int kMaxSections = 20;

    explicit CLvExifReader(ExifInfo* info);
    ~CLvExifReader();
    CLvExifReader(const CLvExifReader&) = delete;
    CLvExifReader& operator=(const CLvExifReader&) = delete;

    // Reads sections from the stream's position, which must be the start of a JPEG file. True when the
    // sections up to the first scan were read; the EXIF result is the info's bHasExif.
    bool DecodeExif(CLvStream* stream);
    // Parses one EXIF section: data is the section after its two length bytes, beginning with "Exif".
    bool ProcessExif(const uint8_t* data, size_t length);

    // The reader's own last failure or complaint; it is not copied to any image.
    const char* GetLastError() const { return m_lastError; }

private:
    struct Section {
        uint8_t* data; // the two length bytes followed by the section's contents
        int marker;
        size_t size;
    };

    struct Entry;

    // thumbnail: the directory that describes the thumbnail, whose other tags are not the picture's.
    bool ProcessDirectory(size_t start, int depth, bool thumbnail);
    bool EnterDirectory(size_t start, int depth);
    void FollowLink(uint64_t link, int depth, bool thumbnail);
    bool ReadEntry(size_t at, Entry& entry);
    void StoreEntry(const Entry& entry, int depth, bool thumbnail);
    void ProcessComment(const uint8_t* data, size_t size);
    bool SetError(const char* text);
    void FreeSections();

    ExifInfo* m_info;
    char m_lastError[256];
    bool m_motorola;          // big-endian byte order
    int32_t m_exifImageWidth; // largest of the EXIF image width and height tags
    Section m_sections[kMaxSections];
    int m_sectionCount;

    // The EXIF block being parsed: its TIFF header starts at m_tiff and it is m_tiffLength bytes long.
    const uint8_t* m_tiff;
    size_t m_tiffLength;
    size_t m_thumbnailOffset;
    size_t m_thumbnailLength;
    bool m_haveThumbnailOffset;
    bool m_haveThumbnailLength;
    // Directory offsets already walked, so a link back to an earlier directory is not walked again.
    size_t m_visited[32];
    int m_visitedCount;
};

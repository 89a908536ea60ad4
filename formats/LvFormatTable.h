#pragma once

#include "image/LvImage.h"

#include <cstddef>
#include <string>

// The one table of file formats: for every format code its names, extensions, abilities, place in detection,
// reader and writer. Dispatch, the extension helpers, the document's file dialogs and the command-line tool
// all answer from it, so that a new format is one codec and one row here.

// What a reader left behind when it failed.
struct LvReadFailure {
    char text[256];
    int frameCount;
};

// Reads frame (or page, or icon) number frame of the stream into target; on failure target is untouched.
typedef bool (*LvFormatReader)(CLvStream* stream, int frame, CLvImage& target, LvReadFailure& failure);
// Writes the image; on failure the image's last-error text says why.
typedef bool (*LvFormatWriter)(CLvImage& image, CLvStream* stream);

struct LvFormatInfo {
    DWORD code;
    // The upper-case name of titles, the status bar and the folder scans ("JPG", "WBMP").
    const char* name;
    // An upper-case extension the folder scans also count as this format's, without a code of its own
    // ("EMF" of the metafile row).
    const char* scannedAlso;
    // The extensions the document opens and saves, lower case, separated by ';'; the first is proposed.
    const char* extensions;
    // The file dialogs' row.
    const char* description;
    // Frames, pages or icons: the reader takes the wanted one and reports the count.
    bool multiFrame;
    // Whether files of the format can be written; a format that cannot still has a writer that says so.
    bool writable;
    // Position in detection by content, from 1.
    int detectionPlace;
    LvFormatReader read;
    LvFormatWriter write;
};

// The rows in format-code order (BMP first).
const LvFormatInfo* LvFormats(size_t* count);
// The row of a format code, or null.
const LvFormatInfo* LvFindFormat(DWORD code);
// The row whose extensions hold ext (any case), or null: "jpeg" gives JPEG, "emf" the metafile row.
const LvFormatInfo* LvFindFormatByExtension(const std::string& ext);
// The readers in the order detection tries them.
const LvFormatInfo* const* LvDetectionOrder(size_t* count);

// The codec option's values: the GIF writer's coder and the TIFF writer's compression.
constexpr DWORD kLvGifRunLength = 0;
constexpr DWORD kLvGifUncompressed = 1;
constexpr DWORD kLvGifLzw = 2;
constexpr DWORD kLvTiffByDepth = 0; // the writer chooses by colour depth
constexpr DWORD kLvTiffNone = 1;
constexpr DWORD kLvTiffRle = 2;
constexpr DWORD kLvTiffFax4 = 4;
constexpr DWORD kLvTiffLzw = 5;
constexpr DWORD kLvTiffJpeg = 7;
constexpr DWORD kLvTiffPackBits = 32773;

// A codec option as a word: the command-line tool's names of the choices the save dialogs offer.
struct LvOptionWord {
    const char* word;
    DWORD value;
};
// The GIF coders ("rle", "none", "lzw") and the TIFF compressions ("none", "rle", "fax4", "packbits", "jpeg",
// "lzw"), each list ended by a null word.
extern const LvOptionWord kLvGifCoderWords[];
extern const LvOptionWord kLvTiffCompressionWords[];
// The value of a word of such a list; false when the list has no such word.
bool LvOptionFromWord(const LvOptionWord* words, const std::string& word, DWORD* value);
// "rle, none or lzw".
std::string LvOptionWordList(const LvOptionWord* words);

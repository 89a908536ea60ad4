#pragma once

#include "image/LvWinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// The document's rules that need no window: extensions and file types, the file dialogs' filters, proposed
// save names, titles, status-bar texts, the stopwatch and the folder walk.

// The format code of an extension compared in lower case ("jpeg" and "tiff" included); 0 when unknown.
DWORD LvLoadFormatFromExt(const std::string& ext);
// As LvLoadFormatFromExt for the formats that can be written ("wmf" and "emf" cannot).
DWORD LvSaveFormatFromExt(const std::string& ext);
// The format code of a path's extension (a dot in a folder name is none) for opening and for saving; 0 when
// the extension is unknown or, for saving, not writable.
DWORD LvLoadFormatOfPath(const std::string& path);
DWORD LvSaveFormatOfPath(const std::string& path);

// A row of the file dialogs' type table. Code -1 is "All Supported Image files".
struct LvFileType {
    int code;
    bool open;
    bool save;
    const char* description;
    std::string pattern;
};
const std::vector<LvFileType>& LvFileTypes();
// Descriptions and patterns of the rows offered for the direction, each followed by a NUL, and a final
// NUL: the filter the platform's file dialog takes.
std::string LvFileFilter(bool open);
// The 1-based position of a format's row among the rows offered for the direction; JPEG's when code is 0
// or not offered.
int LvFilterIndexOf(int code, bool open);
// The format code of the row at a 1-based position among the offered rows; 0 outside them.
int LvFormatOfFilterIndex(int index, bool open);
// The dialog's default extension: the first extension of the row's pattern ("jpg" from "*.jpg;*.jpeg").
std::string LvDefaultExtension(int code, bool open);
// Whether a format can be written.
bool LvCanSaveFormat(DWORD format);

// The name Save As proposes: the document's path name, or (with replace and no path) its title, or
// "UntitledImage" when the title holds one of "#%;/\", followed by the first extension of the image's
// format (".jpg", ".wbmp").
std::string LvProposedSaveName(const std::string& pathName, const std::string& title, bool replace, DWORD format);
// The name a picture is mailed under: the document's title, with characters that file names cannot hold
// replaced by "_", followed by the extension of format unless the title already ends with a writable one.
std::string LvMailAttachmentName(const std::string& title, DWORD format);

// "anim.gif (2) frame" for frame index 1.
std::string LvFrameTitle(const std::string& fileTitle, int frameIndex);
// "Copy 1 of x.png".
std::string LvDuplicateTitle(int count, const std::string& title);

// Status-bar texts.
std::string LvSizeText(int width, int height, int bpp, DWORD format); // "640x480x24b   JPG"
std::string LvTimeText(float elapsed);                                // "Time : 0.125 s"
std::string LvZoomText(float zoom, float fitFactor);                  // "100 %"
std::string LvProgressText(int percent);                              // "07 %"

// Seconds between two performance-counter readings: the low 32 bits of each, their unsigned difference,
// divided by the frequency; -1 without a counter (frequency 0).
float LvElapsedSeconds(int64_t start, int64_t end, int64_t frequency);

// ---- folder walking ----
// Whether a folder entry is one of the image files the walk visits (".jpeg" and ".tiff" are not).
bool LvIsWalkable(const std::string& name);
// The index of path among the folder's names (folder + name compared without case), or current when none
// matches.
int LvFindFileIndex(const std::string& folder, const std::vector<std::string>& names, const std::string& path,
                    int current);
// The folder part of a path, up to and including the last backslash (or slash).
std::string LvFolderOf(const std::string& path);

enum LvWalk { kLvWalkFirst, kLvWalkLast, kLvWalkPrev, kLvWalkNext };
bool LvWalkEnabled(LvWalk walk, int index, int count);
// The index a walk goes to; false when it would leave the list.
bool LvWalkTarget(LvWalk walk, int index, int count, int& target);

// The undo rule for the modified mark: an unmodified document becomes modified; a modified one is clean
// again when undo reaches level 0.
bool LvModifiedAfterUndo(bool wasModified, int newLevel);

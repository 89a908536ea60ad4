#pragma once

#include "image/LvStream.h"
#include "image/LvWinTypes.h"

#include <cstdint>
#include <cstdio>

// Format codes of the files an image comes from or is written as.
enum CLvImageFormat : DWORD {
    LVFMT_UNKNOWN = 0, // detect by content
    LVFMT_BMP = 1,
    LVFMT_GIF = 2,
    LVFMT_JPG = 3,
    LVFMT_PNG = 4,
    LVFMT_ICO = 5,
    LVFMT_TIF = 6,
    LVFMT_TGA = 7,
    LVFMT_PCX = 8,
    LVFMT_WBMP = 9,
    LVFMT_WMF = 10, // WMF and EMF, read only
    LVFMT_COUNT = 11
};

class CLvImage;

// The image's information record: options, error text, progress and cancel flag, transparency, frames,
// resolution and the selection box.
struct CLvImageInfo {
    DWORD dwRowBytes;           // row stride of the pixel rows
    BYTE* pBits;                // first byte of pixel row 0 inside the DIB block
    CLvImage* pOwner;           // set while this image only borrows another image's buffers
    DWORD dwFormat;             // CLvImageFormat code
    char szLastError[256];      // last error text
    volatile int32_t nProgress; // progress of the running operation, 0 to 100
    volatile int32_t nEscape;   // non-zero asks the running operation to stop
    int32_t nTransIndex;        // palette index of the transparent colour, -1 = none
    RGBQUAD rgbTransColor;      // transparent colour of a true-colour image; background outside it
    BYTE nJpegQuality;          // 1 to 100
    int32_t nFrame;             // frame or page to read from a multi-image file
    int32_t nFrameCount;        // frames or pages found by the last read
    DWORD dwFrameDelay;         // GIF frame delay in hundredths of a second
    int32_t xDPI;               // resolution in dots per inch
    int32_t yDPI;               //
    RECT rcSelection;           // selection box; top is the larger y
    BYTE nAlphaMax;             // overall opacity applied when painting
    bool bAlphaPalette;         // palette reserved bytes act as alpha when painting
    bool bDrawEnabled;          // Draw paints nothing while false
    int32_t xOffset;            // position of a frame inside a GIF logical screen
    int32_t yOffset;            //
    DWORD dwCodecOption;        // TIFF compression, GIF encoding
    RGBQUAD rgbLastNearest;     // colour of the last GetNearestIndex query
    BYTE nLastNearestIndex;     // its answer
    bool bLastNearestValid;     // the two fields above are valid
    WORD wMarkBytes;            // length of the hidden watermark message
};

// The one image type: a packed DIB (header, colour table, bottom-up pixel rows of 1, 4, 8 or 24 bits) in
// one heap block, with an optional selection mask and alpha plane of one byte per pixel. Pixel coordinates
// count y from the bottom row.
class CLvImage {
public:
    // ---- construction and lifetime ----
    explicit CLvImage(DWORD format = LVFMT_UNKNOWN);
    CLvImage(int width, int height, int bpp, DWORD format = LVFMT_UNKNOWN);
    CLvImage(const CLvImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    CLvImage(const char* fileName, DWORD format);
    virtual ~CLvImage();
    CLvImage& operator=(const CLvImage& source);

    void InitFields(DWORD format);
    // Creates an image of the given size; the depth is normalised to 1, 4, 8 or 24 bits. Returns the DIB
    // block, or null (and an empty image) when the size is impossible or memory runs out.
    BYTE* Create(int width, int height, int bpp, DWORD format = LVFMT_UNKNOWN);
    void Destroy();
    bool Copy(const CLvImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    void CopyInfoIfEmpty(const CLvImage& source);
    void TakeOver(CLvImage& source);
    void ShareBuffersOf(CLvImage& source);

    // ---- buffer access ----
    bool IsValid() const { return pDib != nullptr; }
    BYTE* GetDib() const { return pDib; }
    BYTE* GetBits() const { return pDib ? info.pBits : nullptr; }
    DWORD GetDibSize() const;
    DWORD GetPaletteSize() const { return head.biClrUsed * 4; }
    int GetWidth() const { return head.biWidth; }
    int GetHeight() const { return head.biHeight; }
    int GetBpp() const { return head.biBitCount; }
    DWORD GetEffWidth() const { return info.dwRowBytes; }
    const BITMAPINFOHEADER& GetHeader() const { return head; }

    DWORD GetFormat() const { return info.dwFormat; }
    void SetFormat(DWORD format) { info.dwFormat = format; }
    BYTE GetJpegQuality() const { return info.nJpegQuality; }
    void SetJpegQuality(BYTE quality) { info.nJpegQuality = quality; }
    int GetTransIndex() const { return info.nTransIndex; }
    void SetTransIndex(int index) { info.nTransIndex = index; }
    void SetTransColor(RGBQUAD color) { info.rgbTransColor = color; }
    int GetFrame() const { return info.nFrame; }
    void SetFrame(int frame) { info.nFrame = frame; }
    int GetFrameCount() const { return info.nFrameCount; }
    void SetFrameCount(int count) { info.nFrameCount = count; }
    DWORD GetFrameDelay() const { return info.dwFrameDelay; }
    void SetFrameDelay(DWORD delay) { info.dwFrameDelay = delay; }
    DWORD GetCodecOption() const { return info.dwCodecOption; }
    void SetCodecOption(DWORD option) { info.dwCodecOption = option; }
    int GetProgress() const { return info.nProgress; }
    void SetProgress(int progress) { info.nProgress = progress; }
    int GetEscape() const { return info.nEscape; }
    void SetEscape(int escape) { info.nEscape = escape; }
    BYTE GetAlphaMax() const { return info.nAlphaMax; }
    void SetAlphaMax(BYTE level) { info.nAlphaMax = level; }
    bool GetAlphaPalette() const { return info.bAlphaPalette; }
    void SetAlphaPalette(bool enabled) { info.bAlphaPalette = enabled; }
    bool GetDrawEnabled() const { return info.bDrawEnabled; }
    void SetDrawEnabled(bool enabled) { info.bDrawEnabled = enabled; }
    WORD GetMarkBytes() const { return info.wMarkBytes; }
    void SetMarkBytes(WORD bytes) { info.wMarkBytes = bytes; }
    const char* GetLastErrorText() const { return info.szLastError; }
    // Stores a text of at most 255 characters.
    void SetLastErrorText(const char* text);

    // ---- pixel access ----
    bool IsInside(int x, int y) const { return x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight; }
    void Clear(BYTE value = 0);
    BYTE GetPixelIndex(int x, int y) const;
    void SetPixelIndex(int x, int y, BYTE index);
    RGBQUAD GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, RGBQUAD color, bool setAlpha = false);
    void SetPixelColor(int x, int y, COLORREF color);
    static RGBQUAD ColorRefToQuad(COLORREF color);
    BYTE GetNearestIndex(RGBQUAD color);
    RGBQUAD GetTransColor() const;
    BYTE GetColorType() const;
    void SwapRedBlue(BYTE* buffer, DWORD length) const;
    // Pointer to the first colour-table entry; null without a palette.
    RGBQUAD* GetPalette() const;

    // ---- resolution ----
    void SetXDPI(int dpi);
    void SetYDPI(int dpi);
    int GetXDPI() const { return info.xDPI; }
    int GetYDPI() const { return info.yDPI; }

    // ---- reading and writing ----
    bool Decode(CLvStream* stream, DWORD format);
    bool Decode(FILE* file, DWORD format);
    // Reads a file by its UTF-8 name with the given format, falling back to detection by content.
    bool Load(const char* fileName, DWORD format = LVFMT_UNKNOWN);
#ifdef _WIN32
    bool LoadFromResource(HRSRC resource, DWORD format, HMODULE module = nullptr);
#endif
    bool Encode(CLvStream* stream, DWORD format);
    bool Encode(FILE* file, DWORD format);
    // Writes a file by its UTF-8 name. The file is written beside the target first and replaces it only
    // when the whole encode succeeded, so a failed save never destroys an existing file.
    bool Encode(const char* fileName, DWORD format);
    // The same write with the file's stream seen through a filter of the caller's (a test puts a stream
    // there that fails part-way); the filter returns the stream the codec writes to.
    typedef CLvStream* (*StreamFilter)(CLvStream* file, void* user);
    bool Encode(const char* fileName, DWORD format, StreamFilter filter, void* user);

    // ---- palette, bit depth and colour reduction (image/LvPalette.cpp) ----
    RGBQUAD GetPaletteColor(BYTE index) const;
    bool GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const;
    void SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha = 0);
    void SetPaletteColor(BYTE index, RGBQUAD color);
    void SetPalette(const RGBQUAD* table, DWORD count = 256);
    // count triples of red, green, blue bytes (in that order); reserved bytes are left as they are.
    void SetPalette(const BYTE* rgbTriples, DWORD count);
    // A missing green array means the red one, a missing blue array the green one.
    void SetPalette(DWORD count, const BYTE* red, const BYTE* green = nullptr, const BYTE* blue = nullptr);
    void SetGrayPalette();
    void SetStdPalette();
    bool IsGrayScale() const;
    void SwapIndex(BYTE index1, BYTE index2);
    // Luminance of a minus luminance of b, lum = (306 red + 601 green + 117 blue) >> 10.
    static int CompareLuminance(const RGBQUAD& a, const RGBQUAD& b);
    bool IncreaseBpp(DWORD bits);
    bool DecreaseBpp(DWORD bits, bool errorDiffusion, const RGBQUAD* palette = nullptr);

    // ---- selection mask (image/LvSelection.cpp) ----
    bool SelectionCreate();
    void SelectionDelete();
    bool SelectionClear();
    bool SelectionIsInside(int x, int y) const;
    bool SelectionAddRect(int x1, int y1, int x2, int y2);
    bool SelectionAddEllipse(int x1, int y1, int x2, int y2);
    // Several closed polygons may follow each other, separated by points whose x is -1.
    bool SelectionAddPolygon(const POINT* points, int count);
    void SelectionAddPixel(int x, int y);
    bool SelectionInvert();
    bool SelectionCopy(const CLvImage& source);

    // ---- alpha plane (image/LvAlpha.cpp) ----
    bool AlphaIsValid() const {
        return pAlpha != nullptr;
    }
    bool AlphaCreate();
    void AlphaDelete();
    void AlphaClear();
    void AlphaFill(BYTE level);
    void AlphaSet(int x, int y, BYTE level);
    BYTE AlphaGet(int x, int y) const;
    bool AlphaCopy(const CLvImage& source);
    bool AlphaPaletteIsValid() const;
    bool AlphaFlip();
    bool AlphaMirror();
    void AlphaStrip();
    bool AlphaSplit(CLvImage* destination) const;

    // ---- Windows transfer and painting ----
#ifdef _WIN32
    // A movable, zero-initialised global block holding a copy of the DIB block (the clipboard's CF_DIB
    // layout); null for an empty image or when memory runs out.
    HGLOBAL CopyToHandle() const;
    // Builds the image from a CF_DIB block. False, with the image unchanged, for a block that is too small
    // for what its header says or holds a kind of DIB the engine cannot take.
    bool CreateFromHandle(HGLOBAL handle);
    // A device-dependent bitmap for hdc, or with a null hdc a DIB section; null for an empty image.
    HBITMAP MakeBitmap(HDC hdc = nullptr) const;
    // Replaces the image by the pixels of a GDI bitmap; false (and an empty image) when it cannot be read.
    bool CreateFromHBITMAP(HBITMAP bitmap);
    // Paints the image with its top-left corner at (x, y), at its own size (negative cx, cy) or scaled to
    // cx x cy, with transparency and alpha; clipRect, when given, limits the painting.
    bool Draw(HDC hdc, int x, int y, int cx = -1, int cy = -1, const RECT* clipRect = nullptr);
    bool Stretch(HDC hdc, int x, int y, int cx, int cy);
    bool Tile(HDC hdc, const RECT* rect);
    // Renders UTF-8 text into the pixels: (x, y), y counted from the top, is the text box's lower-left
    // corner. A null hdc means the screen's.
    bool DrawString(HDC hdc, int x, int y, const char* text, RGBQUAD color, const char* faceName, int height,
                    int weight = FW_NORMAL, bool italic = false, bool underline = false);
    // The width and height of the text box DrawString measures for the same text and font.
    static SIZE MeasureString(HDC hdc, const char* text, const char* faceName, int height, int weight = FW_NORMAL,
                              bool italic = false, bool underline = false);
#endif

    // ---- geometric transforms ----
    // effects/Geometry.cpp.
    // All return false and change nothing for an empty image. The turns and the crop hand their result to
    // destination when one is given and leave this image as it is.
    bool Mirror();
    bool Flip();
    bool RotateLeft(CLvImage* destination = nullptr);  // a quarter turn counter-clockwise on screen
    bool RotateRight(CLvImage* destination = nullptr); // a quarter turn clockwise on screen
    bool Rotate180(CLvImage* destination = nullptr);
    // left and right are columns, top and bottom rows counted from the top of the picture; all four are
    // edges, so the result is right - left by bottom - top pixels. Reversed bounds are put in order.
    bool Crop(int left, int top, int right, int bottom, CLvImage* destination = nullptr);
    // Margins in pixels; positive ones add a border of the background colour (rgbTransColor), negative
    // ones cut the picture. A set cancel flag stops the copy early; the result is still taken.
    bool AddEdge(int left, int top, int right, int bottom);
    // Paints the selection (everything without one) with a colour; palette images take the nearest entry.
    bool RegionFill(RGBQUAD color);

    // ---- resampling and free rotation ----
    // effects/Resample.cpp.
    // Interpolation types of Resample.
    enum { kResampleNearest = 0, kResampleBilinear = 1, kResampleBSpline = 2, kResampleBicubic = 3 };
    bool Resample(int newWidth, int newHeight, int type = kResampleNearest, CLvImage* destination = nullptr);
    // Turns the picture by angle degrees, clockwise on screen for a positive angle, on a canvas that holds
    // the whole turned picture.
    bool Rotate(float angle, CLvImage* destination = nullptr);
    // The cubic B-spline kernel of the bicubic interpolation.
    static float KernelBSpline(float x);

    // ---- colour adjustments and histogram ----
    // effects/Color.cpp.
    // The 8-bit HSL model: an HSL quad holds lightness in rgbBlue, saturation in rgbGreen and hue in rgbRed
    // (255 = a full turn).
    static RGBQUAD RGBtoHSL(RGBQUAD color);
    static RGBQUAD HSLtoRGB(RGBQUAD hsl);
    static float HueToRGB(float low, float high, float hue);
    // gray(R, G, B) = (117 B + 601 G + 306 R) >> 10.
    static BYTE GrayValue(BYTE red, BYTE green, BYTE blue) {
        return static_cast<BYTE>((117 * blue + 601 * green + 306 * red) >> 10);
    }
    bool GrayScale();
    bool Negative();
    bool Light(int brightness, int contrast);
    bool AdjustHSL(BYTE hue, signed char saturation, signed char lightness);
    bool ShiftRGB(int red, int green, int blue);
    // Exponent 1 / gamma; gamma must be above 0.
    bool Gamma(float gamma);
    bool Exposure();
    bool CorrectHistogram();
    bool GrayStretch(int x1, int y1, int x2, int y2);
    bool Colorize(BYTE hue, BYTE saturation);
    bool HuePalette(float correction = 1.0f);
    // Counts the scanned pixels' red, green, blue and gray values into the given tables of 256 entries
    // (any may be null). Colour space 0 reads the pixels as RGB, 1 as HSL quads converted to RGB; other
    // codes are not supported and count nothing. Returns the largest count, 0 for an empty image.
    long Histogram(int32_t* red, int32_t* green = nullptr, int32_t* blue = nullptr, int32_t* gray = nullptr,
                   int colorSpace = 0);
    // Works on the selection box; the command gives it an elliptic selection round an eye.
    bool RedEyeReduce(BYTE threshold);

    // ---- thresholds ----
    // (effects/Threshold.cpp) Results are 1-bit images, entry 0 black and entry 1 white; a 1-bit image is
    // left as it is.
    // White where the pixel's gray value is above level; the whole picture, the selection is dropped.
    bool Threshold(BYTE level);
    // Mean gray value over the selection box (every pixel of the box), or 0 for an empty box.
    float MeanGray();
    bool IterationThreshold();
    bool OstuThreshold();
    // Each pixel against its K x K neighbourhood (for odd K centred on it) less the constant C: the mean, the
    // median gray and the mean of minimum and maximum. Pixels outside the selection become black.
    bool LocalThresholdMean(int K, int C);
    bool LocalThresholdMedian(int K, int C);
    bool LocalThresholdMinMax(int K, int C);

    // ---- filters and edge detection ----
    // (effects/Filters.cpp) All work on the selection (the whole picture without one) and leave other pixels
    // and the alpha plane alone. Kernels are Ksize x Ksize doubles stored row by row, row 0 weighting the row
    // below the pixel (y grows upwards).
    // Convolution: each channel is the sum of trunc(value * weight), divided by Kfactor (0 = no division),
    // plus Koffset, clamped.
    bool Filter(const double* kernel, int Ksize, int Kfactor, int Koffset);
    // Gradient magnitude sqrt(a^2 + b^2) of two kernels; neighbours past the scan's right and top bounds read
    // as white. The kernels cover the offsets from -(Ksize - 1) / 2.
    bool EdgeFilter(const double* kernelA, const double* kernelB, int Ksize, int Kfactor, int Koffset);
    bool Median(int Ksize);
    bool ConservativeSmooth(int Ksize);
    bool Erode(int Ksize);
    bool Dilate(int Ksize);
    // Follows one bright edge from the brightest point of the Roberts gradient: white path on black.
    bool EdgeTrack();
    bool BoxSmooth();
    bool GaussSmooth();
    // Mean of the eight neighbours and level times the pixel.
    bool Soften(BYTE level);
    // Centre weight 19 - level against eight neighbours of -1.
    bool Sharpen(BYTE level);
    bool Emboss(BYTE depth, BYTE brightness);
    bool Carve(BYTE depth, BYTE brightness);
    // variant 4 or 8.
    bool Laplacian(int variant);
    bool RobertsEdge();
    bool PrewittEdge();
    bool SobelEdge();
    bool IsotropicSobelEdge();

    // ---- artistic effects ----
    // (effects/Artistic.cpp) Noise, jitter (and windy) draw from the one random source of effects/LvRandom.h.
    // Blocks of size x size in their average colour; false for a size below 2.
    bool Mosaic(int size);
    // Adds to each channel a random amount in -level / 2 .. level / 2.
    bool Noise(int level);
    // Black and white by method 0 (Floyd-Steinberg), 1 (ordered 4 x 4) or 2 (Bayer 8 x 8); other methods
    // change nothing.
    bool Dither(int method);
    // Each pixel takes the colour of a random neighbour up to radius away.
    bool Jitter(int radius);
    bool PencilDrawing();
    bool Crayon();
    bool OldPhoto();

    // ---- distortion effects ----
    // (effects/Distort.cpp) All work on the selection box (the whole picture without a selection).
    // Horizontal streaks: each pixel the mean of the strength + 1 pixels to its right (direction 1).
    bool Windy(int strength, int direction, bool smooth);
    // Cosine waves that shift the columns (vertical) or the rows.
    bool Stripe(int swing, int frequency, bool vertical);
    // Lens mappings around the box's centre; radius 1..100.
    bool Cone(int radius);
    bool Project(int radius);
    bool Sphere(int radius);
    bool Cylinder(int radius);
    // Maps the box onto the ellipse inscribed in it.
    bool Ellipse();

    // ---- photo decorations ----
    // (effects/Decorate.cpp)
    // A white margin and a soft shadow: the image grows by 16 pixels each way.
    bool Shadow();
    // Fades a band of width r around the selection into the background colour (rgbTransColor); farther
    // pixels become the background colour. rectangular: the band follows the selection box, else its ellipse.
    bool Feather(bool rectangular, int r);
    // Blends toward the background colour through the red channel of the pattern stretched over the box;
    // transparency 0 leaves the picture as it is.
    bool Pattern(const CLvImage& pattern, int transparency);
    // Crops to the box and shows the picture through the frame wherever the frame has its centre colour.
    bool PhotoFrame(const CLvImage& frame);
    // Hides length bytes in bit parity of the blue channels; false (nothing changed) when they do not fit.
    bool EmbedWatermark(const BYTE* payload, int length);
    // Without a buffer: length := the stored watermark length, true. With one (of at least that many
    // bytes): the hidden bytes; false when the image carries no watermark.
    bool DetectWatermark(BYTE* buffer, DWORD& length);

    // ---- bit fields ----
    // Writes 24-bit pixels into this image (already created with the same size) from 16- or 32-bit pixels.
    // Rows go from the last to the first and pixels from right to left, so source may be this image's own
    // pixel buffer. 16-bit source rows are ((width + 1) / 2) * 4 bytes, 32-bit rows width * 4 bytes.
    void ConvertBitfields(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, int bpp);
    // One row of ConvertBitfields: width pixels from source into destination (24 bits, blue first).
    static void ConvertBitfieldsRow(const BYTE* source, BYTE* destination, int width, DWORD redMask, DWORD greenMask,
                                    DWORD blueMask, int bpp);

protected:
    // The selection box of an image with nothing selected: an empty box any addition widens.
    void ResetSelectionBox();
    // Widens the selection box by [xmin, xmax) x [ymin, ymax), each corner clamped to the picture.
    void WidenSelectionBox(long long xmin, long long ymin, long long xmax, long long ymax);
    void ClearHeader();

public:
    CLvImageInfo info;
    BYTE* pDib;
    BITMAPINFOHEADER head;
    BYTE* pSelection;
    BYTE* pAlpha;
};

#include "cli/LvCli.h"

#include "acquire/LvLogFile.h"
#include "batch/LvBatch.h"

#include "effects/LvOperations.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvFormatTable.h"
#include "formats/LvJpegTurn.h"
#include "formats/LvOrientation.h"
#include "image/LvCodecError.h"
#include "image/LvFileExt.h"
#include "image/LvImage.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const char* const kUsageText =
    "usage: lumivue-cli info [--json] [--frame N] FILE\n"
    "       lumivue-cli convert [--bpp 1|4|8|24] [--quality N] [--tiff-compression C] [--gif-encoding E]\n"
    "                           [--frame N] [--auto-orient] [--strip] IN OUT\n"
    "       lumivue-cli apply [--color RRGGBB] [--select L,T,R,B | --select-ellipse L,T,R,B]\n"
    "                         [--picture FILE] [--auto-orient] [--strip] [--reencode] IN OUT\n"
    "                         OPERATION [ARGS...] [OPERATION [ARGS...]]...\n"
    "       lumivue-cli apply --list\n"
    "       lumivue-cli batch effect FOLDER [BATCH OPTIONS] OPERATION [ARGS...] [OPERATION [ARGS...]]...\n"
    "       lumivue-cli batch convert FOLDER --to FORMAT [--quality N] [--gif-encoding E]\n"
    "                                 [--tiff-compression C] [BATCH OPTIONS]\n"
    "       lumivue-cli batch color FOLDER --bpp 1|4|8|24 [BATCH OPTIONS]\n"
    "       BATCH OPTIONS: [--recursive] [--types bmp,jpg,...] [--jobs N] [--dry-run] [--shard K/N]\n"
    "                      [--log-dir DIR]\n"
    "The format of OUT comes from its extension (%s).\n"
    "--bpp changes the colour depth first; fewer colours are chosen with error diffusion.\n"
    "--quality sets the JPEG quality (1 to 100, also for JPEG-compressed TIFF); --tiff-compression is one of\n"
    "none, rle, fax4, packbits, jpeg, lzw; --gif-encoding is one of rle (the default), none, lzw; --frame\n"
    "reads that frame or page (from 0) of a multi-image file. --auto-orient turns a photo the way its camera\n"
    "data's orientation says it stands. A JPEG written from a JPEG photo keeps its camera data (EXIF block,\n"
    "colour profile; orientation 1 once turned, no thumbnail once changed) unless --strip is given.\n"
    "apply turns a JPEG photo into a JPEG file without loss when it only turns and mirrors it (and the\n"
    "picture is whole JPEG blocks, else it says so and re-encodes); --reencode always re-encodes.\n"
    "apply runs the operations in the order given; --list shows them with their arguments. --color is the\n"
    "foreground colour (default 000000), --select and --select-ellipse select a rectangle or an ellipse\n"
    "(pixel edges from the top-left corner) that the operations then work on. --picture is the pattern or\n"
    "frame picture of the pattern and photo-frame operations.\n"
    "batch works on every picture of FOLDER (--recursive: and of its subfolders; --types: of those types only),\n"
    "writing each back in place (effect, color) or beside it with the new format's extension (convert), through\n"
    "a temporary file. --jobs: files at a time (default: every core); --dry-run lists what would be read and\n"
    "written; --shard K/N takes every N-th file from the K-th. A log goes to DIR (default: the log folder beside\n"
    "the program). Exit status: 0 all done, 1 some file failed, 2 wrong usage, 3 no file matched.\n";

// The usage, with the extensions of the formats that can be written.
void PrintUsage(FILE* to) {
    std::string extensions;
    size_t count = 0;
    const LvFormatInfo* formats = LvFormats(&count);
    for (size_t i = 0; i < count; i++) {
        if (!formats[i].writable) continue;
        for (const char* c = formats[i].extensions; *c; c++) {
            if (c == formats[i].extensions && !extensions.empty()) extensions += ", ";
            extensions += *c == ';' ? std::string(", ") : std::string(1, *c);
        }
    }
    fprintf(to, kUsageText, extensions.c_str());
}

// A command's arguments: options by name ("--json" has an empty value) and the other words in order.
struct Arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> words;
};

struct OptionSpec {
    const char* name;
    bool takesValue;
};

// Splits argv[first..] into options and words; false (with a message) for an unknown or incomplete option.
bool ParseArguments(int argc, char** argv, int first, const std::vector<OptionSpec>& known, Arguments& args,
                    FILE* err) {
    for (int i = first; i < argc; i++) {
        std::string word = argv[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            args.words.push_back(word);
            continue;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : known)
            if (word == candidate.name) spec = &candidate;
        if (!spec) {
            fprintf(err, "lumivue-cli: unknown option %s\n", word.c_str());
            return false;
        }
        if (spec->takesValue) {
            if (i + 1 >= argc) {
                fprintf(err, "lumivue-cli: option %s needs a value\n", word.c_str());
                return false;
            }
            args.options[word] = argv[++i];
        } else {
            args.options[word] = "";
        }
    }
    return true;
}

// The format of a file by its extension, as the program opens and saves it ("jpeg", "tiff", "emf"
// included); 0 when the extension names none.
DWORD FormatOfPath(const std::string& path) {
    const LvFormatInfo* f = LvFindFormatByExtension(GetFileExt(path));
    return f ? f->code : DWORD(LVFMT_UNKNOWN);
}

// Writes the result; 0, or 1 with the writer's reason on err.
int WriteOutput(CLvImage& image, const std::string& output, DWORD format, FILE* err) {
    image.SetLastErrorText("");
    if (image.Encode(output.c_str(), format)) return 0;
    const char* text = image.GetLastErrorText();
    fprintf(err, "lumivue-cli: %s: %s\n", output.c_str(), *text ? text : "cannot write the file");
    return 1;
}

bool LoadInput(CLvImage& image, const std::string& path, int frame, FILE* err) {
    image.SetLastErrorText("");
    image.SetFrame(frame);
    // The reader the extension names first; Load falls back to detection by content.
    bool loaded = image.Load(path.c_str(), FormatOfPath(path));
    // Detection by content reads the first frame of a misnamed file: a later one that is not there is no
    // success either.
    if (loaded && (frame == 0 || frame < image.GetFrameCount())) return true;
    if (frame > 0 && (loaded || (image.GetFrameCount() > 0 && frame >= image.GetFrameCount()))) {
        fprintf(err, "lumivue-cli: %s: frame %d not present (the file has %d)\n", path.c_str(), frame,
                image.GetFrameCount() > 1 ? image.GetFrameCount() : 1);
        return false;
    }
    const char* text = image.GetLastErrorText();
    fprintf(err, "lumivue-cli: %s: %s\n", path.c_str(), *text ? text : "cannot open the file");
    return false;
}

std::string FormatName(DWORD format) {
    std::string name = GetExtFromType(format);
    return name.empty() ? "UNKNOWN" : name;
}

// The length of the well-formed UTF-8 sequence at the start of p (at most n bytes), or 0.
size_t Utf8Length(const unsigned char* p, size_t n) {
    size_t length = p[0] >= 0xC2 && p[0] <= 0xDF   ? 2
                    : p[0] >= 0xE0 && p[0] <= 0xEF ? 3
                    : p[0] >= 0xF0 && p[0] <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > n) return 0;
    for (size_t i = 1; i < length; i++)
        if ((p[i] & 0xC0) != 0x80) return 0;
    // No overlong forms, surrogates or code points past U+10FFFF.
    if ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] >= 0xA0) || (p[0] == 0xF0 && p[1] < 0x90) ||
        (p[0] == 0xF4 && p[1] >= 0x90))
        return 0;
    return length;
}

// A JSON string. Camera texts are not always UTF-8: a byte that does not start a well-formed sequence is
// taken as the Latin-1 character of that value.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size(); i++) {
        const unsigned char c = bytes[i];
        if (c >= 0x80) {
            const size_t length = Utf8Length(bytes + i, text.size() - i);
            if (length) {
                out.append(text, i, length);
                i += length - 1;
            } else {
                char escaped[8];
                snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                snprintf(escaped, sizeof(escaped), "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// A whole non-negative number from an option, or -1.
int OptionNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    return atoi(text.c_str());
}

// Reads the --frame option; false (with a message) when it is not a number.
bool FrameOption(Arguments& args, int* frame, FILE* err) {
    *frame = 0;
    if (!args.options.count("--frame")) return true;
    *frame = OptionNumber(args.options["--frame"]);
    if (*frame >= 0) return true;
    fprintf(err, "lumivue-cli: --frame takes a frame number from 0, not \"%s\"\n", args.options["--frame"].c_str());
    return false;
}

// A JSON number; JSON has no infinities.
std::string JsonNumber(double value) {
    if (!std::isfinite(value)) value = 0;
    char text[32];
    snprintf(text, sizeof(text), "%.6g", value);
    return text;
}

// The EXIF data of a JPEG file, or null when it has none.
std::unique_ptr<CLvCodecJPG> ReadExifOf(const std::string& path) {
    CLvFileStream stream(path.c_str(), "rb");
    if (!stream.IsOpen()) return nullptr;
    std::unique_ptr<CLvCodecJPG> jpeg(new CLvCodecJPG);
    if (!jpeg->ReadExif(&stream)) return nullptr;
    return jpeg;
}

// Turns a JPEG photo the way its camera data say it stands (--auto-orient); other pictures stay as read.
// history records a turn.
bool AutoOrient(CLvImage& image, const std::string& path, LvPixelHistory& history, FILE* err) {
    if (image.GetFormat() != LVFMT_JPG) return true;
    std::unique_ptr<CLvCodecJPG> exif = ReadExifOf(path);
    const int orientation = exif ? LvExifOrientation(exif->m_exifinfo) : 1;
    if (orientation == 1) return true;
    history.AddTurn(LvTurnOfOrientation(orientation));
    if (LvApplyOrientation(image, orientation)) return true;
    fprintf(err, "lumivue-cli: %s: %s\n", path.c_str(), kLvErrNoMemory);
    return false;
}

// Writes the result; a JPEG written from a JPEG photo carries the photo's camera data, adjusted for what
// happened to the pixels, unless --strip was given.
// When the photo was only turned and may be (reencode false), its file is turned without decoding it.
int WriteKeepingCameraData(CLvImage& image, const std::string& input, bool fromJpeg, const std::string& output,
                           DWORD format, bool strip, bool reencode, const LvPixelHistory& history, FILE* err) {
    if (!fromJpeg || format != LVFMT_JPG) return WriteOutput(image, output, format, err);
    const LvCameraData data =
        strip ? LvCameraData()
              : LvAdjustCameraData(LvReadCameraDataOfFile(input.c_str()), history, image.GetWidth(), image.GetHeight());
    // The input's bytes are read only when a lossless turn may be made of them.
    const std::vector<uint8_t> source =
        !reencode && history.OnlyTurned() ? LvReadFileBytes(input.c_str()) : std::vector<uint8_t>();
    image.SetLastErrorText("");
    const LvJpegPhotoSave saved = LvSaveJpegPhoto(image, source, history, data, output.c_str());
    if (!saved.note.empty()) fprintf(err, "lumivue-cli: %s: %s\n", output.c_str(), saved.note.c_str());
    if (saved.ok) return 0;
    const char* text = image.GetLastErrorText();
    fprintf(err, "lumivue-cli: %s: %s\n", output.c_str(), *text ? text : "cannot write the file");
    return 1;
}

std::string ExifJson(const ExifInfo& exif) {
    return std::string("{\"make\": ") + JsonString(exif.szMake) + ", \"model\": " + JsonString(exif.szModel) +
           ", \"datetime\": " + JsonString(exif.szDateTime) + ", \"exposure_time\": " + JsonNumber(exif.fExposureTime) +
           ", \"f_number\": " + JsonNumber(exif.fFNumber) + ", \"iso\": " + JsonNumber(exif.nIsoSpeed) +
           ", \"focal_length\": " + JsonNumber(exif.fFocalLength) +
           ", \"orientation\": " + JsonNumber(exif.nOrientation) + ", \"flash\": " + JsonNumber(exif.bFlashFired) +
           ", \"comment\": " + JsonString(exif.szComment) + ", \"x_resolution\": " + JsonNumber(exif.fXResolution) +
           ", \"y_resolution\": " + JsonNumber(exif.fYResolution) + "}";
}

void PrintExif(FILE* out, const ExifInfo& exif) {
    fprintf(out, "Camera make: %s\n", exif.szMake);
    fprintf(out, "Camera model: %s\n", exif.szModel);
    fprintf(out, "Date and time: %s\n", exif.szDateTime);
    if (exif.fExposureTime > 0 && exif.fExposureTime < 0.5f)
        fprintf(out, "Exposure time: %s s (1/%d)\n", JsonNumber(exif.fExposureTime).c_str(),
                int(1.0 / exif.fExposureTime + 0.5));
    else
        fprintf(out, "Exposure time: %s s\n", JsonNumber(exif.fExposureTime).c_str());
    fprintf(out, "F-number: %s\n", JsonNumber(exif.fFNumber).c_str());
    fprintf(out, "ISO: %d\n", exif.nIsoSpeed);
    fprintf(out, "Focal length: %s mm\n", JsonNumber(exif.fFocalLength).c_str());
    fprintf(out, "Orientation: %d\n", exif.nOrientation);
    fprintf(out, "Flash: %s\n", exif.bFlashFired ? "fired" : "not fired");
    if (exif.szComment[0]) fprintf(out, "Comment: %s\n", exif.szComment);
    fprintf(out, "EXIF resolution: %s x %s\n", JsonNumber(exif.fXResolution).c_str(),
            JsonNumber(exif.fYResolution).c_str());
}

int Info(int argc, char** argv, FILE* out, FILE* err) {
    Arguments args;
    int frame = 0;
    if (!ParseArguments(argc, argv, 2, {{"--json", false}, {"--frame", true}}, args, err) || args.words.size() != 1 ||
        !FrameOption(args, &frame, err)) {
        PrintUsage(err);
        return 2;
    }
    const std::string& path = args.words[0];
    CLvImage image;
    if (!LoadInput(image, path, frame, err)) return 1;
    std::unique_ptr<CLvCodecJPG> exif = image.GetFormat() == LVFMT_JPG ? ReadExifOf(path) : nullptr;
    int frames = image.GetFrameCount() > 1 ? image.GetFrameCount() : 1;
    if (args.options.count("--json")) {
        fprintf(out,
                "{\"format\": %s, \"width\": %d, \"height\": %d, \"bpp\": %d, \"frames\": %d, \"xdpi\": %d, "
                "\"ydpi\": %d%s}\n",
                JsonString(FormatName(image.GetFormat())).c_str(), image.GetWidth(), image.GetHeight(), image.GetBpp(),
                frames, image.GetXDPI(), image.GetYDPI(),
                exif ? (", \"exif\": " + ExifJson(exif->m_exifinfo)).c_str() : "");
    } else {
        fprintf(out, "File: %s\n", path.c_str());
        fprintf(out, "Format: %s\n", FormatName(image.GetFormat()).c_str());
        fprintf(out, "Width: %d\n", image.GetWidth());
        fprintf(out, "Height: %d\n", image.GetHeight());
        fprintf(out, "Bits per pixel: %d\n", image.GetBpp());
        fprintf(out, "Frames: %d\n", frames);
        fprintf(out, "Resolution: %d x %d dpi\n", image.GetXDPI(), image.GetYDPI());
        if (exif) PrintExif(out, exif->m_exifinfo);
    }
    return 0;
}

// Changes the colour depth: wider without loss, narrower to the standard palettes with error diffusion.

int Convert(int argc, char** argv, FILE* /*out*/, FILE* err) {
    Arguments args;
    int frame = 0;
    if (!ParseArguments(argc, argv, 2,
                        {{"--bpp", true},
                         {"--quality", true},
                         {"--tiff-compression", true},
                         {"--gif-encoding", true},
                         {"--frame", true},
                         {"--auto-orient", false},
                         {"--strip", false}},
                        args, err) ||
        args.words.size() != 2 || !FrameOption(args, &frame, err)) {
        PrintUsage(err);
        return 2;
    }
    int quality = -1;
    if (args.options.count("--quality")) {
        quality = OptionNumber(args.options["--quality"]);
        if (quality < 1 || quality > 100) {
            fprintf(err, "lumivue-cli: --quality takes 1 to 100, not \"%s\"\n", args.options["--quality"].c_str());
            return 2;
        }
    }
    DWORD compression = kLvTiffByDepth;
    if (args.options.count("--tiff-compression") &&
        !LvOptionFromWord(kLvTiffCompressionWords, args.options["--tiff-compression"], &compression)) {
        fprintf(err, "lumivue-cli: --tiff-compression takes %s, not \"%s\"\n",
                LvOptionWordList(kLvTiffCompressionWords).c_str(), args.options["--tiff-compression"].c_str());
        return 2;
    }
    int bpp = 0;
    if (args.options.count("--bpp")) {
        const std::string& value = args.options["--bpp"];
        if (value != "1" && value != "4" && value != "8" && value != "24") {
            fprintf(err, "lumivue-cli: --bpp takes 1, 4, 8 or 24, not \"%s\"\n", value.c_str());
            return 2;
        }
        bpp = atoi(value.c_str());
    }
    const std::string& input = args.words[0];
    const std::string& output = args.words[1];
    const DWORD format = FormatOfPath(output);
    if (format == LVFMT_UNKNOWN) {
        fprintf(err, "lumivue-cli: %s: unknown output format \"%s\"\n", output.c_str(), GetFileExt(output).c_str());
        return 2;
    }
    DWORD gifEncoding = kLvGifRunLength;
    if (args.options.count("--gif-encoding")) {
        const std::string& name = args.options["--gif-encoding"];
        if (!LvOptionFromWord(kLvGifCoderWords, name, &gifEncoding)) {
            fprintf(err, "lumivue-cli: unknown GIF encoding \"%s\" (%s)\n", name.c_str(),
                    LvOptionWordList(kLvGifCoderWords).c_str());
            return 2;
        }
        if (format != LVFMT_GIF) {
            fprintf(err, "lumivue-cli: --gif-encoding applies to GIF output only\n");
            return 2;
        }
    }
    CLvImage image;
    if (!LoadInput(image, input, frame, err)) return 1;
    const bool fromJpeg = image.GetFormat() == LVFMT_JPG;
    LvPixelHistory history;
    if (args.options.count("--auto-orient") && !AutoOrient(image, input, history, err)) return 1;
    if (quality > 0) image.SetJpegQuality(BYTE(quality));
    // The codec option means the GIF coder to the GIF writer and the compression to the TIFF writer.
    image.SetCodecOption(format == LVFMT_GIF ? gifEncoding : compression);
    if (bpp && !LvChangeDepth(image, bpp)) {
        fprintf(err, "lumivue-cli: %s: cannot change the colour depth to %d bits\n", input.c_str(), bpp);
        return 1;
    }
    if (bpp) history.changed = true;
    return WriteKeepingCameraData(image, input, fromJpeg, output, format, args.options.count("--strip") != 0, true,
                                  history, err);
}

// A colour as RRGGBB in hexadecimal (an optional leading '#') or as R,G,B in decimal.
bool ParseColor(const std::string& text, RGBQUAD& color) {
    int r, g, b;
    char end;
    std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (hex.size() == 6 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        unsigned long v = strtoul(hex.c_str(), nullptr, 16);
        r = int(v >> 16) & 255, g = int(v >> 8) & 255, b = int(v) & 255;
    } else if (sscanf(text.c_str(), "%d,%d,%d%c", &r, &g, &b, &end) != 3 || r < 0 || r > 255 || g < 0 || g > 255 ||
               b < 0 || b > 255) {
        return false;
    }
    color.rgbRed = BYTE(r);
    color.rgbGreen = BYTE(g);
    color.rgbBlue = BYTE(b);
    color.rgbReserved = 0;
    return true;
}

// L,T,R,B: pixel edges counted from the top-left corner.
bool ParseBox(const std::string& text, int box[4]) {
    char end;
    return sscanf(text.c_str(), "%d,%d,%d,%d%c", &box[0], &box[1], &box[2], &box[3], &end) == 4;
}

int ListOperations(FILE* out) {
    fputs("Operations of lumivue-cli apply (arguments in pixels unless said otherwise):\n", out);
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++) {
        const LvOperation& op = table[i];
        fprintf(out, "  %-44s %s\n", LvOperationUsage(op).c_str(), LvOperationHelp(op).c_str());
    }
    return 0;
}

struct OperationCall {
    const LvOperation* op;
    std::vector<std::string> words;
};

// Splits words[first..] into operations with their words and checks each; false with a message for a wrong
// word. picture: a second picture is at hand for the operations that fuse one in.
bool SplitOperations(const std::vector<std::string>& all, size_t first, bool picture, std::vector<OperationCall>& calls,
                     FILE* err) {
    for (size_t i = first; i < all.size(); i++) {
        const std::string& word = all[i];
        // A word that names an operation is still an argument where the operation before takes it there.
        bool argument = false;
        if (!calls.empty()) {
            std::vector<std::string> words = calls.back().words;
            words.push_back(word);
            argument = LvOperationTakesWords(*calls.back().op, words);
        }
        const LvOperation* op = argument ? nullptr : LvFindOperation(word);
        if (op) {
            calls.push_back(OperationCall{op, {}});
        } else if (calls.empty()) {
            fprintf(err, "lumivue-cli: unknown operation \"%s\" (lumivue-cli apply --list shows them)\n", word.c_str());
            return false;
        } else {
            calls.back().words.push_back(word);
        }
    }
    for (const OperationCall& call : calls) {
        LvOpParams params;
        std::string error;
        if (!LvParseOperation(*call.op, call.words, nullptr, params, error)) {
            fprintf(err, "lumivue-cli: %s\n", error.c_str());
            return false;
        }
        if (call.op->input == kLvInputPicture && !picture) {
            fprintf(err, "lumivue-cli: %s needs --picture FILE\n", call.op->name);
            return false;
        }
    }
    return true;
}

int Apply(int argc, char** argv, FILE* out, FILE* err) {
    Arguments args;
    if (!ParseArguments(argc, argv, 2,
                        {{"--list", false},
                         {"--color", true},
                         {"--select", true},
                         {"--select-ellipse", true},
                         {"--picture", true},
                         {"--auto-orient", false},
                         {"--strip", false},
                         {"--reencode", false}},
                        args, err)) {
        PrintUsage(err);
        return 2;
    }
    if (args.options.count("--list")) return ListOperations(out);
    if (args.words.size() < 3) {
        PrintUsage(err);
        return 2;
    }
    LvOpContext context;
    if (args.options.count("--color") && !ParseColor(args.options["--color"], context.foreground)) {
        fprintf(err, "lumivue-cli: --color takes RRGGBB or R,G,B, not \"%s\"\n", args.options["--color"].c_str());
        return 2;
    }
    int box[4] = {0, 0, 0, 0};
    const char* boxOption = args.options.count("--select-ellipse") ? "--select-ellipse"
                            : args.options.count("--select")       ? "--select"
                                                                   : nullptr;
    if (args.options.count("--select") && args.options.count("--select-ellipse")) {
        fputs("lumivue-cli: give either --select or --select-ellipse\n", err);
        return 2;
    }
    if (boxOption && !ParseBox(args.options[boxOption], box)) {
        fprintf(err, "lumivue-cli: %s takes LEFT,TOP,RIGHT,BOTTOM, not \"%s\"\n", boxOption,
                args.options[boxOption].c_str());
        return 2;
    }
    if (boxOption && (box[0] == box[2] || box[1] == box[3])) {
        fprintf(err, "lumivue-cli: %s %s selects nothing\n", boxOption, args.options[boxOption].c_str());
        return 2;
    }

    const std::string& input = args.words[0];
    const std::string& output = args.words[1];
    const DWORD format = FormatOfPath(output);
    if (format == LVFMT_UNKNOWN) {
        fprintf(err, "lumivue-cli: %s: unknown output format \"%s\"\n", output.c_str(), GetFileExt(output).c_str());
        return 2;
    }
    // Every operation's words are checked before anything is read.
    std::vector<OperationCall> calls;
    if (!SplitOperations(args.words, 2, args.options.count("--picture") != 0, calls, err)) return 2;

    CLvImage image, picture;
    if (!LoadInput(image, input, 0, err)) return 1;
    const bool fromJpeg = image.GetFormat() == LVFMT_JPG;
    LvPixelHistory history;
    if (args.options.count("--auto-orient") && !AutoOrient(image, input, history, err)) return 1;
    if (args.options.count("--picture")) {
        if (!LoadInput(picture, args.options["--picture"], 0, err)) return 1;
        context.auxImage = &picture;
    }
    if (boxOption) {
        // Edges from the top become the image's own rows, which count from the bottom.
        const int height = image.GetHeight();
        bool ok = boxOption == std::string("--select")
                      ? image.SelectionAddRect(box[0], height - box[1], box[2], height - box[3])
                      : image.SelectionAddEllipse(box[0], height - box[1], box[2], height - box[3]);
        if (!ok) {
            fprintf(err, "lumivue-cli: %s: cannot select %d,%d,%d,%d\n", input.c_str(), box[0], box[1], box[2], box[3]);
            return 1;
        }
    }
    for (const OperationCall& call : calls) {
        LvOpParams params;
        std::string error;
        if (!LvParseOperation(*call.op, call.words, &image, params, error)) {
            fprintf(err, "lumivue-cli: %s\n", error.c_str());
            return 1;
        }
        if (!LvRunOperation(*call.op, image, params, context)) {
            fprintf(err, "lumivue-cli: %s: %s failed\n", input.c_str(), call.op->name);
            return 1;
        }
        LvNoteOperation(history, call.op);
    }
    return WriteKeepingCameraData(image, input, fromJpeg, output, format, args.options.count("--strip") != 0,
                                  args.options.count("--reencode") != 0, history, err);
}

// ---- batch ----

// The progress line on a terminal: "[3/40] photos/a.jpg".
class TerminalProgress : public LvBatchProgress {
public:
    explicit TerminalProgress(FILE* to) : m_to(to) {}
    ~TerminalProgress() override {
        if (m_shown) fputc('\n', m_to);
    }
    void File(int number, int count, const std::string& path) override {
        char line[64];
        snprintf(line, sizeof(line), "[%d/%d] ", number, count);
        const std::string text = line + path;
        // Blanks over the rest of a longer line before it (no terminal escapes: a Windows console shows them).
        const size_t pad = m_length > text.size() ? m_length - text.size() : 0;
        fprintf(m_to, "\r%s%s", text.c_str(), std::string(pad, ' ').c_str());
        fflush(m_to);
        m_length = text.size();
        m_shown = true;
    }

private:
    FILE* m_to;
    bool m_shown = false;
    size_t m_length = 0;
};

bool IsTerminal(FILE* file) {
#ifdef _WIN32
    return _isatty(_fileno(file)) != 0;
#else
    return isatty(fileno(file)) != 0;
#endif
}

// "--types bmp,jpg": the flags of the formats named; EMF files pass every filter, as in the program.
bool ParseTypes(const std::string& text, int flags[kLvBatchTypeCount], FILE* err) {
    for (int i = 1; i < kLvBatchTypeCount; i++)
        flags[i] = 0;
    flags[0] = 1;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string word = text.substr(start, comma - start);
        for (char& c : word)
            c = char(toupper(static_cast<unsigned char>(c)));
        const DWORD type = GetTypeFromExt(word);
        if (type == 0 && word != "EMF") {
            fprintf(err,
                    "lumivue-cli: --types takes extensions among bmp,gif,jpg,png,ico,tif,tga,pcx,wbmp,wmf,emf, not "
                    "\"%s\"\n",
                    word.c_str());
            return false;
        }
        flags[type] = 1;
        start = comma + 1;
    }
    return true;
}

// "K/N" with 1 <= K <= N.
bool ParseShard(const std::string& text, int* k, int* n) {
    char end;
    return sscanf(text.c_str(), "%d/%d%c", k, n, &end) == 2 && *n >= 1 && *k >= 1 && *k <= *n;
}

int Batch(int argc, char** argv, FILE* out, FILE* err) {
    Arguments args;
    if (argc < 3 ||
        !ParseArguments(argc, argv, 3,
                        {{"--recursive", false},
                         {"--types", true},
                         {"--jobs", true},
                         {"--dry-run", false},
                         {"--shard", true},
                         {"--log-dir", true},
                         {"--to", true},
                         {"--quality", true},
                         {"--gif-encoding", true},
                         {"--tiff-compression", true},
                         {"--bpp", true}},
                        args, err) ||
        args.words.empty()) {
        PrintUsage(err);
        return 2;
    }
    const std::string kind = argv[2];
    const std::string folder = args.words[0];
    std::map<std::string, std::string>& o = args.options;
    // The options each kind of run takes besides the common ones.
    const std::map<std::string, std::vector<std::string>> own = {
        {"effect", {}},
        {"convert", {"--to", "--quality", "--gif-encoding", "--tiff-compression"}},
        {"color", {"--bpp"}}};
    if (!own.count(kind)) {
        fprintf(err, "lumivue-cli: batch runs are effect, convert and color, not \"%s\"\n", kind.c_str());
        return 2;
    }
    for (const char* name : {"--to", "--quality", "--gif-encoding", "--tiff-compression", "--bpp"}) {
        const std::vector<std::string>& allowed = own.at(kind);
        if (o.count(name) && std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
            fprintf(err, "lumivue-cli: batch %s does not take %s\n", kind.c_str(), name);
            return 2;
        }
    }
    int flags[kLvBatchTypeCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    if (o.count("--types") && !ParseTypes(o["--types"], flags, err)) return 2;
    int jobs = int(std::thread::hardware_concurrency());
    if (jobs < 1) jobs = 1;
    if (o.count("--jobs")) {
        jobs = OptionNumber(o["--jobs"]);
        if (jobs < 1 || jobs > 256) {
            fprintf(err, "lumivue-cli: --jobs takes 1 to 256, not \"%s\"\n", o["--jobs"].c_str());
            return 2;
        }
    }
    int shard = 1, shards = 1;
    if (o.count("--shard") && !ParseShard(o["--shard"], &shard, &shards)) {
        fprintf(err, "lumivue-cli: --shard takes K/N with 1 <= K <= N, not \"%s\"\n", o["--shard"].c_str());
        return 2;
    }

    LvBatchJob job;
    std::vector<OperationCall> calls;
    const char* logName = "Batch.txt";
    if (kind == "effect") {
        if (args.words.size() < 2) {
            PrintUsage(err);
            return 2;
        }
        if (!SplitOperations(args.words, 1, false, calls, err)) return 2;
        job.kind = kLvBatchEffects;
        for (const OperationCall& call : calls) {
            job.steps.push_back({call.op->name, [call](CLvImage& image, const std::string&) {
                                     LvOpParams params;
                                     std::string error;
                                     if (LvParseOperation(*call.op, call.words, &image, params, error))
                                         LvRunOperation(*call.op, image, params, LvOpContext());
                                 }});
        }
    } else if (kind == "convert") {
        const LvFormatInfo* format = o.count("--to") ? LvFindFormatByExtension(o["--to"]) : nullptr;
        if (args.words.size() != 1 || !format || format->code == LVFMT_UNKNOWN) {
            if (o.count("--to")) fprintf(err, "lumivue-cli: unknown format \"%s\"\n", o["--to"].c_str());
            PrintUsage(err);
            return 2;
        }
        logName = "BatchFormat.txt";
        job.kind = kLvBatchFormat;
        job.targetFormat = format->code;
        if (o.count("--quality")) {
            const int quality = OptionNumber(o["--quality"]);
            if (quality < 1 || quality > 100) {
                fprintf(err, "lumivue-cli: --quality takes 1 to 100, not \"%s\"\n", o["--quality"].c_str());
                return 2;
            }
            job.jpegQuality = BYTE(quality);
        }
        if (o.count("--gif-encoding") && !LvOptionFromWord(kLvGifCoderWords, o["--gif-encoding"], &job.gifOption)) {
            fprintf(err, "lumivue-cli: --gif-encoding takes %s, not \"%s\"\n",
                    LvOptionWordList(kLvGifCoderWords).c_str(), o["--gif-encoding"].c_str());
            return 2;
        }
        if (o.count("--tiff-compression") &&
            !LvOptionFromWord(kLvTiffCompressionWords, o["--tiff-compression"], &job.tiffOption)) {
            fprintf(err, "lumivue-cli: --tiff-compression takes %s, not \"%s\"\n",
                    LvOptionWordList(kLvTiffCompressionWords).c_str(), o["--tiff-compression"].c_str());
            return 2;
        }
    } else {
        const std::string bpp = o.count("--bpp") ? o["--bpp"] : "";
        if (args.words.size() != 1 || (bpp != "1" && bpp != "4" && bpp != "8" && bpp != "24")) {
            if (!bpp.empty()) fprintf(err, "lumivue-cli: --bpp takes 1, 4, 8 or 24, not \"%s\"\n", bpp.c_str());
            PrintUsage(err);
            return 2;
        }
        logName = "BatchColor.txt";
        job.kind = kLvBatchColor;
        job.depth = atoi(bpp.c_str());
    }

    std::vector<std::string> all, files;
    CollectImageFiles(all, LvBatchPattern(folder), o.count("--recursive") != 0, flags);
    for (size_t i = size_t(shard - 1); i < all.size(); i += size_t(shards))
        files.push_back(all[i]);
    if (files.empty()) {
        fprintf(err, "lumivue-cli: %s: %s\n", folder.c_str(), LvBatchMessage(kLvBatchNoFile));
        return 3;
    }
    if (o.count("--dry-run")) {
        for (const std::string& file : files)
            fprintf(out, "%s -> %s\n", file.c_str(), LvBatchTarget(job, file).c_str());
        return 0;
    }
    CLogFile log(LvLocalTime, o.count("--log-dir") ? o["--log-dir"] : std::string());
    if (!log.OpenLog(logName)) fprintf(err, "lumivue-cli: cannot write the log %s\n", log.Path().c_str());
    log.WriteLog(LvBatchHeader(job, int(files.size())));
    std::atomic<int> stop{0};
    int outcome;
    {
        std::unique_ptr<TerminalProgress> progress(IsTerminal(err) ? new TerminalProgress(err) : nullptr);
        outcome = LvRunBatchFiles(job, files, &log, stop, progress.get(), jobs);
    }
    log.WriteLog(LvBatchMessage(outcome));
    if (outcome != kLvBatchDone) fprintf(err, "lumivue-cli: %s (%s)\n", LvBatchMessage(outcome), log.Path().c_str());
    return outcome == kLvBatchDone ? 0 : 1;
}

} // namespace

int LvCliMain(int argc, char** argv, FILE* out, FILE* err) {
    if (argc < 2) {
        PrintUsage(err);
        return 2;
    }
    std::string command = argv[1];
    if (command == "info") return Info(argc, argv, out, err);
    if (command == "convert") return Convert(argc, argv, out, err);
    if (command == "apply") return Apply(argc, argv, out, err);
    if (command == "batch") return Batch(argc, argv, out, err);
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(out);
        return 0;
    }
    fprintf(err, "lumivue-cli: unknown command \"%s\"\n", command.c_str());
    PrintUsage(err);
    return 2;
}

#include "cli/LvCli.h"

#include "formats/LvCodecJPG.h"
#include "image/LvFileExt.h"
#include "image/LvImage.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: lumivue-cli info [--json] [--frame N] FILE\n"
    "       lumivue-cli convert [--bpp 1|4|8|24] [--quality N] [--tiff-compression C] [--gif-encoding E]\n"
    "                           [--frame N] IN OUT\n"
    "The format of OUT comes from its extension (bmp, gif, jpg, png, ico, tif, tga, pcx, wbmp).\n"
    "--bpp changes the colour depth first; fewer colours are chosen with error diffusion.\n"
    "--quality sets the JPEG quality (1 to 100, also for JPEG-compressed TIFF); --tiff-compression is one of\n"
    "none, rle, fax4, packbits, jpeg, lzw; --gif-encoding is one of rle (the default), none, lzw; --frame\n"
    "reads that frame or page (from 0) of a multi-image file.\n";

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

// Loads a file with the format its extension names, falling back to detection by content.
bool LoadInput(CLvImage& image, const std::string& path, int frame, FILE* err) {
    image.SetLastErrorText("");
    image.SetFrame(frame);
    bool loaded = image.Load(path.c_str(), GetTypeFromExt(GetFileExt(path)));
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

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
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
        fputs(kUsage, err);
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

// The GIF writer's coders by their option names.
bool GifEncodingOption(const std::string& name, DWORD* option) {
    static const struct {
        const char* name;
        DWORD option;
    } encodings[] = {{"rle", 0}, {"none", 1}, {"lzw", 2}};
    for (const auto& e : encodings)
        if (name == e.name) {
            *option = e.option;
            return true;
        }
    return false;
}

// Changes the colour depth: wider without loss, narrower to the standard palettes with error diffusion.
bool ChangeDepth(CLvImage& image, int bpp) {
    if (bpp == image.GetBpp()) return true;
    return bpp > image.GetBpp() ? image.IncreaseBpp(DWORD(bpp)) : image.DecreaseBpp(DWORD(bpp), true);
}

int Convert(int argc, char** argv, FILE* /*out*/, FILE* err) {
    Arguments args;
    int frame = 0;
    if (!ParseArguments(argc, argv, 2,
                        {{"--bpp", true},
                         {"--quality", true},
                         {"--tiff-compression", true},
                         {"--gif-encoding", true},
                         {"--frame", true}},
                        args, err) ||
        args.words.size() != 2 || !FrameOption(args, &frame, err)) {
        fputs(kUsage, err);
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
    // TIFF compression codes; 0 lets the writer choose by colour depth.
    DWORD compression = 0;
    if (args.options.count("--tiff-compression")) {
        static const std::map<std::string, DWORD> codes = {{"none", 1},         {"rle", 2},  {"fax4", 4},
                                                           {"packbits", 32773}, {"jpeg", 7}, {"lzw", 5}};
        auto found = codes.find(args.options["--tiff-compression"]);
        if (found == codes.end()) {
            fprintf(err, "lumivue-cli: --tiff-compression takes none, rle, fax4, packbits, jpeg or lzw, not \"%s\"\n",
                    args.options["--tiff-compression"].c_str());
            return 2;
        }
        compression = found->second;
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
    DWORD format = GetTypeFromExt(GetFileExt(output));
    if (format == LVFMT_UNKNOWN) {
        fprintf(err, "lumivue-cli: %s: unknown output format \"%s\"\n", output.c_str(), GetFileExt(output).c_str());
        return 2;
    }
    DWORD gifEncoding = 0;
    if (args.options.count("--gif-encoding")) {
        const std::string& name = args.options["--gif-encoding"];
        if (!GifEncodingOption(name, &gifEncoding)) {
            fprintf(err, "lumivue-cli: unknown GIF encoding \"%s\" (rle, none or lzw)\n", name.c_str());
            return 2;
        }
        if (format != LVFMT_GIF) {
            fprintf(err, "lumivue-cli: --gif-encoding applies to GIF output only\n");
            return 2;
        }
    }
    CLvImage image;
    if (!LoadInput(image, input, frame, err)) return 1;
    if (quality > 0) image.SetJpegQuality(BYTE(quality));
    // The codec option means the GIF coder to the GIF writer and the compression to the TIFF writer.
    image.SetCodecOption(format == LVFMT_GIF ? gifEncoding : compression);
    if (bpp && !ChangeDepth(image, bpp)) {
        fprintf(err, "lumivue-cli: %s: cannot change the colour depth to %d bits\n", input.c_str(), bpp);
        return 1;
    }
    image.SetLastErrorText("");
    if (!image.Encode(output.c_str(), format)) {
        const char* text = image.GetLastErrorText();
        fprintf(err, "lumivue-cli: %s: %s\n", output.c_str(), *text ? text : "cannot write the file");
        return 1;
    }
    return 0;
}

} // namespace

int LvCliMain(int argc, char** argv, FILE* out, FILE* err) {
    if (argc < 2) {
        fputs(kUsage, err);
        return 2;
    }
    std::string command = argv[1];
    if (command == "info") return Info(argc, argv, out, err);
    if (command == "convert") return Convert(argc, argv, out, err);
    if (command == "--help" || command == "-h" || command == "help") {
        fputs(kUsage, out);
        return 0;
    }
    fprintf(err, "lumivue-cli: unknown command \"%s\"\n", command.c_str());
    fputs(kUsage, err);
    return 2;
}

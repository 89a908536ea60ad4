#include "cli/LvCli.h"

#include "image/LvFileExt.h"
#include "image/LvImage.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kUsage = "usage: lumivue-cli info [--json] FILE\n"
                           "       lumivue-cli convert [--bpp 1|4|8|24] IN OUT\n"
                           "The format of OUT comes from its extension (bmp, gif, jpg, png, ico, tif, tga, pcx, "
                           "wbmp).\n"
                           "--bpp changes the colour depth first; fewer colours are chosen with error diffusion.\n";

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
bool LoadInput(CLvImage& image, const std::string& path, FILE* err) {
    image.SetLastErrorText("");
    if (image.Load(path.c_str(), GetTypeFromExt(GetFileExt(path)))) return true;
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

int Info(int argc, char** argv, FILE* out, FILE* err) {
    Arguments args;
    if (!ParseArguments(argc, argv, 2, {{"--json", false}}, args, err) || args.words.size() != 1) {
        fputs(kUsage, err);
        return 2;
    }
    const std::string& path = args.words[0];
    CLvImage image;
    if (!LoadInput(image, path, err)) return 1;
    int frames = image.GetFrameCount() > 1 ? image.GetFrameCount() : 1;
    if (args.options.count("--json")) {
        fprintf(out,
                "{\"format\": %s, \"width\": %d, \"height\": %d, \"bpp\": %d, \"frames\": %d, \"xdpi\": %d, "
                "\"ydpi\": %d}\n",
                JsonString(FormatName(image.GetFormat())).c_str(), image.GetWidth(), image.GetHeight(), image.GetBpp(),
                frames, image.GetXDPI(), image.GetYDPI());
    } else {
        fprintf(out, "File: %s\n", path.c_str());
        fprintf(out, "Format: %s\n", FormatName(image.GetFormat()).c_str());
        fprintf(out, "Width: %d\n", image.GetWidth());
        fprintf(out, "Height: %d\n", image.GetHeight());
        fprintf(out, "Bits per pixel: %d\n", image.GetBpp());
        fprintf(out, "Frames: %d\n", frames);
        fprintf(out, "Resolution: %d x %d dpi\n", image.GetXDPI(), image.GetYDPI());
    }
    return 0;
}

// Changes the colour depth: wider without loss, narrower to the standard palettes with error diffusion.
bool ChangeDepth(CLvImage& image, int bpp) {
    if (bpp == image.GetBpp()) return true;
    return bpp > image.GetBpp() ? image.IncreaseBpp(DWORD(bpp)) : image.DecreaseBpp(DWORD(bpp), true);
}

int Convert(int argc, char** argv, FILE* /*out*/, FILE* err) {
    Arguments args;
    if (!ParseArguments(argc, argv, 2, {{"--bpp", true}}, args, err) || args.words.size() != 2) {
        fputs(kUsage, err);
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
    DWORD format = GetTypeFromExt(GetFileExt(output));
    if (format == LVFMT_UNKNOWN) {
        fprintf(err, "lumivue-cli: %s: unknown output format \"%s\"\n", output.c_str(), GetFileExt(output).c_str());
        return 2;
    }
    CLvImage image;
    if (!LoadInput(image, input, err)) return 1;
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

#pragma once

#include "effects/LvMouseTool.h"
#include "formats/LvCameraData.h"
#include "image/LvImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The table of image operations. One entry per operation: a stable lower-case name, the menu command, when
// the command is enabled and what it takes besides its arguments, an argument description, a parser from the
// words a user types to the four 32-bit parameters p0..p3 exactly as the document's worker receives them, and a
// runner that calls the image operation with them. The command-line tool, the menu commands and the batch runs
// all go through this table, so they run the same thing.

// The four parameters of a command.
struct LvOpParams {
    int32_t p[4] = {0, 0, 0, 0};
};

// What some operations need besides the image.
struct LvOpContext {
    RGBQUAD foreground = {0, 0, 0, 0}; // the colour chosen in the colour bar
    CLvImage* auxImage = nullptr;      // the pattern or frame picture of the commands that fuse two pictures
};

// What a menu command needs of the document's image to be enabled (the mouse tool it may also need is the
// entry's own field).
enum LvEnableRule {
    kLvEnableImage,     // the document has an image and no command is running
    kLvEnableSelection, // as kLvEnableImage, and the image has a selection
};

// What an operation takes besides the arguments a user gives.
enum LvOpInput {
    kLvInputNone,
    kLvInputSelectionBox, // the program gives the selection's box as the arguments (LvCropParamsFromSelection)
    kLvInputPicture,      // a second picture, LvOpContext::auxImage, is fused into the image
};

enum LvArgKind {
    kLvArgInt,     // a whole number
    kLvArgDecimal, // a decimal number, stored times the argument's scale ("1.5" with scale 1000 gives 1500)
    kLvArgChoice,  // one of the words of the argument's choices (or its position as a number)
    kLvArgSize,    // pixels, or a percentage of the image's side ("50%", stored in thousandths of a percent)
};

struct LvOpArg {
    const char* name = nullptr; // as shown in the usage ("BRIGHTNESS"); null ends the list
    LvArgKind kind = kLvArgInt;
    int32_t minValue = 0; // the range of the stored value
    int32_t maxValue = 0;
    int32_t scale = 1;             // decimals: the stored value is the number times this
    const char* choices = nullptr; // choices: the words, separated by '|'
    bool optional = false;         // optional arguments come last
    int32_t defaultValue = 0;      // the stored value of an optional argument that is not given
};

// One parsed argument.
struct LvArgValue {
    int32_t value = 0;
    bool percent = false; // a size given as a percentage; value in thousandths of a percent
    bool given = false;   // false for an optional argument that was left out
};

// The low byte of a parameter, as an unsigned or a signed byte.
inline BYTE LvLowByte(int32_t v) {
    return static_cast<BYTE>(v & 0xFF);
}
inline signed char LvSignedLowByte(int32_t v) {
    return static_cast<signed char>(static_cast<BYTE>(v & 0xFF));
}

// What a runner is handed: the image, the parameters and the context.
struct LvOpCall {
    CLvImage& image;
    const LvOpParams& params;
    const LvOpContext& context;

    int32_t P(int i) const { return params.p[i]; }
    BYTE Low(int i) const { return LvLowByte(params.p[i]); }
    signed char SignedLow(int i) const { return LvSignedLowByte(params.p[i]); }
};

// Turns the parsed arguments into parameters. image is the picture the operation will run on, or null when
// the words are only checked (sizes given as percentages are then not worked out).
typedef bool (*LvOpEncode)(const LvArgValue* values, const CLvImage* image, LvOpParams& params, std::string& error);
typedef bool (*LvOpRun)(const LvOpCall& call);

struct LvOperation {
    const char* name = nullptr; // stable lower-case name ("rotate-left")
    int commandId = 0;          // menu command identifier, 0 when there is none
    const char* menuText = "";  // menu text with its accelerator mark, empty when there is no menu command
    LvEnableRule enable = kLvEnableImage;
    LvMouseTool tool = kLvToolAny; // the mouse tool the menu command is enabled under
    LvOpInput input = kLvInputNone;
    bool direct = false;         // the program runs it on the interface thread, without the command worker
    LvOpArg args[4];             // the arguments in the order the user gives them
    const char* help = "";       // one line: what it does and the meaning and range of its arguments
    LvOpEncode encode = nullptr; // null: parameter i is the value of argument i
    LvOpRun run = nullptr;
};

// The whole table, in menu order of the families.
const LvOperation* LvOperationTable(size_t* count);
const LvOperation* LvFindOperation(const std::string& name);
const LvOperation* LvFindOperationByCommand(int commandId);
// Records in history what an operation does to the pixels: an exact turn or mirror, a turn by an angle, or
// another change. op null stands for a change made outside the table.
void LvNoteOperation(LvPixelHistory& history, const LvOperation* op);

// "resize W [H] [nearest|bilinear|bspline|bicubic]"
std::string LvOperationUsage(const LvOperation& op);
// The help line with the ranges of its number arguments: "turn ... (ANGLE -360..360)". Choices show in the
// usage; sizes and coordinates are bounded only by the picture.
std::string LvOperationHelp(const LvOperation& op);

// Parses the words that follow an operation's name. False with a message in error for a wrong word or
// count.
// Turns argument values (from words, a dialog or stored settings) into the parameters, as parsing does.
bool LvEncodeOperation(const LvOperation& op, const LvArgValue values[4], const CLvImage* image, LvOpParams& params,
                       std::string& error);
bool LvParseOperation(const LvOperation& op, const std::vector<std::string>& words, const CLvImage* image,
                      LvOpParams& params, std::string& error);
// Whether words can begin the operation's words: each is a valid next argument (later required arguments may
// still follow). A command line uses it to tell an argument from the name of the next operation
// ("feather 10 ellipse", "local-threshold median 5 3").
bool LvOperationTakesWords(const LvOperation& op, const std::vector<std::string>& words);
// The range of a number argument as the error messages give it: "0..255", or for decimals
// "0.001..5 with at most 3 decimals".
std::string LvArgRangeText(const LvOpArg& arg);

// Runs the operation; its own result (false for an empty image, an impossible size, ...).
bool LvRunOperation(const LvOperation& op, CLvImage& image, const LvOpParams& params, const LvOpContext& context);

// Whether the menu command is enabled for a document's image (null when it has none) under the document's
// mouse tool (an LvMouseTool number).
bool LvOperationEnabled(const LvOperation& op, const CLvImage* image, bool busy, int toolMode);

// The parameters of the Crop command for an image's selection: the selection box as edges counted from
// the top-left corner, so that the crop keeps exactly the selected rows and columns. False without a
// selection or with an empty box.
bool LvCropParamsFromSelection(const CLvImage& image, LvOpParams& params);

// percent (in thousandths of a percent) of a side in pixels, truncated: 100 % of 100 is 100.
int32_t LvPercentOf(int32_t side, int32_t thousandths);

// The colour-depth change of the program's Color menu and of the command-line tool: raise the image to depth
// bits, or lower it with error diffusion and no palette given; nothing when the depth is already that.
bool LvChangeDepth(CLvImage& image, int depth);

#pragma once

#include "effects/LvOperations.h"
#include "res/resource.h"

#include <vector>

// The image commands of the menus and the worker's dispatch, read from the operation table: a command is
// offered in the menus when the table has it and it needs no parameter dialog; the colour-depth commands
// are this layer's own and run the engine's LvChangeDepth.

// The worker's command for the colour depth; p0 is the target depth.
const int kLvCmdColorDepth = ID_COLOR_2;

struct LvDepthCommand {
    int id;
    int depth;
    const char* menuText;
};
// The four colour-depth menu commands of the Color menu.
const std::vector<LvDepthCommand>& LvDepthCommands();
const LvDepthCommand* LvFindDepthCommand(int id);

// A popup of image commands: its title and the table names of its commands in menu order (empty names
// are separators).
struct LvCommandPopup {
    const char* title;
    std::vector<const char*> names;
};
const std::vector<LvCommandPopup>& LvCommandPopups();
// The menu commands of a popup in menu order, a null where a separator stands (never first, last or twice
// in a row).
std::vector<const LvOperation*> LvPopupItems(const LvCommandPopup& popup);
// Whether a table operation is a menu command: it has a menu command, and its arguments or picture come from
// its parameter dialog, or it takes none, or the program gives them (Crop takes the selection's box).
bool LvIsMenuCommand(const LvOperation& op);
// The menu operation of a command identifier, or null.
const LvOperation* LvFindMenuOperation(int id);

// What a menu command without a dialog asks the worker to run: the command identifier and its parameters.
// False for an identifier that is not such a worker command (direct commands and dialog commands included).
bool LvWorkerCommandFor(int menuId, int& command, LvOpParams& params);

// The parameters of a direct command on an image: the selection's box for a command that takes it (false
// without a selection), nothing for the others.
bool LvDirectParams(const LvOperation& op, const CLvImage& image, LvOpParams& params);

// The worker's dispatch: runs a command on the image. An identifier that is not a command does nothing.
bool LvRunImageCommand(int command, const LvOpParams& params, CLvImage& image, const LvOpContext& context);

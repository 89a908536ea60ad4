#include "app/LvImageCommands.h"

#include "app/LvParamDialogs.h"

#include <cstring>

const std::vector<LvDepthCommand>& LvDepthCommands() {
    static const std::vector<LvDepthCommand> commands = {
        {ID_COLOR_2, 1, "&2 Color\t(1b)"},
        {ID_COLOR_16, 4, "&16 Color\t(4b)"},
        {ID_COLOR_256, 8, "2&56 Color\t(8b)"},
        {ID_COLOR_TRUE, 24, "&True Color\t(24b)"},
    };
    return commands;
}

const LvDepthCommand* LvFindDepthCommand(int id) {
    for (const LvDepthCommand& c : LvDepthCommands())
        if (c.id == id) return &c;
    return nullptr;
}

const std::vector<LvCommandPopup>& LvCommandPopups() {
    static const std::vector<LvCommandPopup> popups = {
        {"&Trans",
         {"mirror", "flip", "", "rotate-left", "rotate-right", "rotate-180", "rotate", "", "resize", "crop", "add-edge",
          "erase-edge", "", "region-fill"}},
        {"&Adjust",
         {"negative", "gray", "", "light", "hsl", "rgb", "gamma", "exposure", "", "correct-histogram", "gray-stretch",
          "", "colorize", "sepia", "pseudo-colors", "", "red-eye"}},
        {"F&ilter",
         {"soften",
          "sharpen",
          "box-smooth",
          "gauss-smooth",
          "median",
          "conservative-smooth",
          "",
          "erode",
          "dilate",
          "emboss",
          "carve",
          "",
          "roberts",
          "prewitt",
          "sobel",
          "isotropic-sobel",
          "laplacian-4",
          "laplacian-8",
          "edge-track",
          "",
          "threshold",
          "iteration-threshold",
          "otsu-threshold",
          "local-threshold"}},
        {"Effe&ct",
         {"mosaic", "noise", "jitter", "dither", "", "pencil-drawing", "crayon", "old-photo", "", "windy", "stripe",
          "cone", "project", "sphere", "cylinder", "ellipse"}},
        {"&Photo", {"shadow", "feather", "pattern", "photo-frame"}},
    };
    return popups;
}

std::vector<const LvOperation*> LvPopupItems(const LvCommandPopup& popup) {
    std::vector<const LvOperation*> items;
    bool separatorPending = false;
    for (const char* name : popup.names) {
        if (!*name) {
            separatorPending = !items.empty();
            continue;
        }
        const LvOperation* op = LvFindOperation(name);
        if (!op || !LvIsMenuCommand(*op)) continue;
        if (separatorPending) items.push_back(nullptr);
        separatorPending = false;
        items.push_back(op);
    }
    return items;
}

bool LvIsMenuCommand(const LvOperation& op) {
    if (op.commandId == 0 || !op.menuText || !*op.menuText) return false;
    // Arguments and pictures come from the command's dialog; Crop takes the selection's box.
    if (LvFindParamDialog(op.commandId)) return true;
    return op.input == kLvInputSelectionBox || (op.input == kLvInputNone && op.args[0].name == nullptr);
}

bool LvDirectParams(const LvOperation& op, const CLvImage& image, LvOpParams& params) {
    params = LvOpParams();
    if (op.input == kLvInputSelectionBox) return LvCropParamsFromSelection(image, params);
    return true;
}

const LvOperation* LvFindMenuOperation(int id) {
    const LvOperation* op = LvFindOperationByCommand(id);
    return op && LvIsMenuCommand(*op) ? op : nullptr;
}

bool LvWorkerCommandFor(int menuId, int& command, LvOpParams& params) {
    params = LvOpParams();
    if (const LvDepthCommand* depth = LvFindDepthCommand(menuId)) {
        command = kLvCmdColorDepth;
        params.p[0] = depth->depth;
        return true;
    }
    const LvOperation* op = LvFindMenuOperation(menuId);
    if (!op || op->direct || LvFindParamDialog(menuId)) return false;
    command = menuId;
    return true;
}

bool LvRunImageCommand(int command, const LvOpParams& params, CLvImage& image, const LvOpContext& context) {
    if (command == kLvCmdColorDepth) return LvChangeDepth(image, params.p[0]);
    const LvOperation* op = LvFindOperationByCommand(command);
    if (!op) return false;
    return LvRunOperation(*op, image, params, context);
}

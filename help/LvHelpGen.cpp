// lv-helpgen RC OUTDIR: writes the help pages that list the program's commands, read from the resource
// script's menus and accelerators and from the operation table, so that the help names every command and key
// exactly as the program has them:
//   menus.htm       every menu of a picture window with its commands, their keys and what they do
//   shortcuts.htm   every key of the accelerator table and the command it gives
//   operations.htm  every operation of the table with its arguments, as lumivue-cli apply takes them
#include "app/LvImageCommands.h"
#include "effects/LvOperations.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct MenuItem {
    std::string text;   // as the menu shows it, without the "&" marks and the key after the tab
    std::string key;    // the key shown after the tab
    std::string idName; // ID_... of the resource script, empty for a popup or a separator
    const LvOperation* op = nullptr;
    std::vector<MenuItem> items; // a popup's items
    bool separator = false;
};

std::string Html(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// "&Open...\tCtrl+O" as the user reads it: "Open..." and the key "Ctrl+O".
void SplitMenuText(const std::string& raw, std::string& text, std::string& key) {
    std::string plain;
    for (size_t i = 0; i < raw.size(); i++) {
        if (raw[i] == '&' && i + 1 < raw.size() && raw[i + 1] == '&') {
            plain += '&';
            i++;
        } else if (raw[i] != '&') {
            plain += raw[i];
        }
    }
    size_t tab = plain.find("\\t");
    text = tab == std::string::npos ? plain : plain.substr(0, tab);
    key = tab == std::string::npos ? std::string() : plain.substr(tab + 2);
}

// The words of a resource script line: quoted texts (with "" inside as one quote) and the other words,
// commas dropped.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
            i++;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else if (c == '"') {
            std::string word = "\"";
            for (i++; i < line.size(); i++) {
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    word += '"';
                    i++;
                } else if (line[i] == '"') {
                    i++;
                    break;
                } else {
                    word += line[i];
                }
            }
            words.push_back(word);
        } else {
            size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '\r')
                i++;
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The menu resource named name: its popups with their items.
bool ReadMenu(const std::vector<std::string>& lines, const std::string& name, MenuItem& menu) {
    size_t i = 0;
    for (; i < lines.size(); i++) {
        std::vector<std::string> w = Words(lines[i]);
        if (w.size() >= 2 && w[0] == name && w[1] == "MENU") break;
    }
    if (i == lines.size()) return false;
    std::vector<MenuItem*> open{&menu};
    MenuItem* pending = nullptr;
    for (i++; i < lines.size(); i++) {
        std::vector<std::string> w = Words(lines[i]);
        if (w.empty()) continue;
        if (w[0] == "BEGIN") {
            if (pending) open.push_back(pending);
            pending = nullptr;
        } else if (w[0] == "END") {
            open.pop_back();
            if (open.empty()) return true;
        } else if (w[0] == "POPUP" && w.size() >= 2 && w[1][0] == '"') {
            MenuItem popup;
            SplitMenuText(w[1].substr(1), popup.text, popup.key);
            open.back()->items.push_back(popup);
            pending = &open.back()->items.back();
        } else if (w[0] == "MENUITEM" && w.size() >= 2) {
            MenuItem item;
            if (w[1] == "SEPARATOR") {
                item.separator = true;
            } else if (w[1][0] == '"' && w.size() >= 3) {
                SplitMenuText(w[1].substr(1), item.text, item.key);
                item.idName = w[2];
            }
            open.back()->items.push_back(item);
        }
    }
    return false;
}

// The image commands' popups of the operation table, in front of the popup that holds the colour-depth
// commands, as the program puts them there.
void AddImageCommandMenus(MenuItem& menu) {
    size_t position = menu.items.size();
    for (size_t i = 0; i < menu.items.size() && position == menu.items.size(); i++)
        for (const MenuItem& item : menu.items[i].items)
            if (item.idName == "ID_COLOR_2") position = i;
    std::vector<MenuItem> popups;
    for (const LvCommandPopup& source : LvCommandPopups()) {
        MenuItem popup;
        SplitMenuText(source.title, popup.text, popup.key);
        for (const LvOperation* op : LvPopupItems(source)) {
            MenuItem item;
            item.separator = op == nullptr;
            if (op) SplitMenuText(op->menuText, item.text, item.key);
            item.op = op;
            popup.items.push_back(item);
        }
        if (!popup.items.empty()) popups.push_back(popup);
    }
    menu.items.insert(menu.items.begin() + long(position), popups.begin(), popups.end());
}

// Key names of the accelerator table as a keyboard shows them.
std::string KeyName(const std::string& key) {
    static const std::map<std::string, std::string> names = {
        {"VK_ADD", "Num +"},   {"VK_SUBTRACT", "Num -"}, {"VK_MULTIPLY", "Num *"}, {"VK_DIVIDE", "Num /"},
        {"VK_HOME", "Home"},   {"VK_END", "End"},        {"VK_PRIOR", "Page Up"},  {"VK_NEXT", "Page Down"},
        {"VK_ESCAPE", "Esc"},  {"VK_DELETE", "Del"},     {"VK_INSERT", "Ins"},     {"VK_RETURN", "Enter"},
        {"VK_LEFT", "Left"},   {"VK_RIGHT", "Right"},    {"VK_UP", "Up"},          {"VK_DOWN", "Down"},
        {"VK_SPACE", "Space"}, {"VK_TAB", "Tab"},        {"VK_BACK", "Backspace"},
    };
    if (key.size() >= 2 && key[0] == '"') return key.substr(1);
    auto it = names.find(key);
    if (it != names.end()) return it->second;
    if (key.size() >= 4 && key.compare(0, 4, "VK_F") == 0) return key.substr(3);
    return key;
}

struct Accelerator {
    std::string key;
    std::string idName;
};

std::vector<Accelerator> ReadAccelerators(const std::vector<std::string>& lines) {
    std::vector<Accelerator> keys;
    size_t i = 0;
    for (; i < lines.size(); i++) {
        std::vector<std::string> w = Words(lines[i]);
        if (w.size() >= 2 && w[0] == "IDR_MAINFRAME" && w[1] == "ACCELERATORS") break;
    }
    for (i++; i < lines.size(); i++) {
        std::vector<std::string> w = Words(lines[i]);
        if (w.empty() || w[0] == "BEGIN") continue;
        if (w[0] == "END") break;
        if (w.size() < 2) continue;
        std::string prefix;
        for (size_t k = 2; k < w.size(); k++) {
            if (w[k] == "CONTROL") prefix += "Ctrl+";
            if (w[k] == "SHIFT") prefix += "Shift+";
            if (w[k] == "ALT") prefix += "Alt+";
        }
        keys.push_back({prefix + KeyName(w[0]), w[1]});
    }
    return keys;
}

const char kPageHead[] = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title>"
                         "<link rel=\"stylesheet\" href=\"help.css\"></head><body>\n"
                         "<p class=\"nav\"><a href=\"default.htm\">Lumivue Help</a></p>\n<h1>%s</h1>\n";
const char kPageFoot[] = "</body></html>\n";

std::string Head(const std::string& title) {
    char buffer[1024];
    snprintf(buffer, sizeof buffer, kPageHead, Html(title).c_str(), Html(title).c_str());
    return buffer;
}

std::string Anchor(const std::string& text) {
    std::string a;
    for (char c : text)
        if (isalnum(static_cast<unsigned char>(c))) a += char(tolower(static_cast<unsigned char>(c)));
    return a;
}

// The written page that tells about the commands of a menu that the operation table does not hold.
std::string PageOfMenu(const std::string& menu) {
    static const std::map<std::string, std::string> pages = {
        {"file", "opening.htm"}, {"edit", "editing.htm"},  {"view", "viewing.htm"}, {"color", "editing.htm"},
        {"tools", "tools.htm"},  {"window", "window.htm"}, {"help", "window.htm"},
    };
    auto it = pages.find(Anchor(menu));
    return it == pages.end() ? "default.htm" : it->second;
}

void WriteItems(std::ostringstream& page, const MenuItem& popup, const std::string& path, const std::string& about) {
    for (const MenuItem& item : popup.items) {
        if (item.separator) continue;
        if (!item.items.empty()) {
            WriteItems(page, item, path + " &gt; " + Html(item.text), about);
            continue;
        }
        page << "<tr><td>" << path << " &gt; " << Html(item.text) << "</td><td>" << Html(item.key) << "</td><td>";
        if (item.op) {
            page << Html(LvOperationHelp(*item.op)) << " <a href=\"operations.htm#" << item.op->name << "\">("
                 << item.op->name << ")</a>";
            if (item.op->enable == kLvEnableSelection) page << " Needs a selection.";
        } else {
            page << "<a href=\"" << about << "\">More about the " << path << " menu</a>";
        }
        page << "</td></tr>\n";
    }
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: lv-helpgen RESOURCE-SCRIPT OUTPUT-FOLDER\n");
        return 2;
    }
    const std::vector<std::string> lines = Lines(argv[1]);
    MenuItem menu;
    if (!ReadMenu(lines, "IDR_LUMIVUETYPE", menu) || menu.items.empty()) {
        fprintf(stderr, "lv-helpgen: no picture-window menu in %s\n", argv[1]);
        return 1;
    }
    AddImageCommandMenus(menu);
    const std::string folder = argv[2];

    std::ostringstream menus;
    menus << Head("Menus and commands");
    menus << "<p>Every menu of a picture window with its commands. A command's key, where it has one, is shown "
             "beside it; image commands show what they do and link to the same operation of the "
             "<a href=\"cli.htm\">command-line tool</a>. A command ending in \"...\" or marked in "
             "<a href=\"editing.htm\">Editing pictures</a> asks for its values in a dialog first.</p>\n<ul>\n";
    for (const MenuItem& popup : menu.items)
        menus << "<li><a href=\"#" << Anchor(popup.text) << "\">" << Html(popup.text) << "</a></li>\n";
    menus << "</ul>\n";
    for (const MenuItem& popup : menu.items) {
        menus << "<h2 id=\"" << Anchor(popup.text) << "\">" << Html(popup.text) << "</h2>\n"
              << "<table><tr><th>command</th><th>key</th><th>what it does</th></tr>\n";
        WriteItems(menus, popup, Html(popup.text), PageOfMenu(popup.text));
        menus << "</table>\n";
    }
    menus << kPageFoot;

    std::map<std::string, std::string> textOfId;
    std::vector<const MenuItem*> stack{&menu};
    while (!stack.empty()) {
        const MenuItem* m = stack.back();
        stack.pop_back();
        for (const MenuItem& item : m->items) {
            if (!item.idName.empty() && !textOfId.count(item.idName)) textOfId[item.idName] = item.text;
            if (!item.items.empty()) stack.push_back(&item);
        }
    }
    std::ostringstream shortcuts;
    shortcuts << Head("Keyboard shortcuts");
    shortcuts << "<p>These keys work wherever the main window has the keyboard. The keys that belong to the "
                 "picture itself and to the mouse are in <a href=\"viewing.htm\">Viewing pictures</a> and "
                 "<a href=\"tools.htm\">Mouse tools</a>.</p>\n"
                 "<table><tr><th>key</th><th>command</th></tr>\n";
    for (const Accelerator& a : ReadAccelerators(lines)) {
        auto it = textOfId.find(a.idName);
        shortcuts << "<tr><td>" << Html(a.key) << "</td><td>" << Html(it != textOfId.end() ? it->second : a.idName)
                  << "</td></tr>\n";
    }
    shortcuts << "</table>\n" << kPageFoot;

    std::ostringstream operations;
    operations << Head("Operations of the command-line tool");
    operations << "<p>Every image operation that <code>lumivue-cli apply</code> runs, with the words it takes "
                  "(<a href=\"cli.htm\">The command-line tool</a> says how to run it). The same operations stand "
                  "behind the menu commands and the batch runs.</p>\n"
                  "<table><tr><th>operation</th><th>menu command</th><th>what it does</th></tr>\n";
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++) {
        const LvOperation& op = table[i];
        std::string text, key;
        SplitMenuText(op.menuText, text, key);
        operations << "<tr id=\"" << op.name << "\"><td><code>" << Html(LvOperationUsage(op)) << "</code></td><td>"
                   << Html(text) << "</td><td>" << Html(LvOperationHelp(op)) << "</td></tr>\n";
    }
    operations << "</table>\n" << kPageFoot;

    if (!Write(folder + "/menus.htm", menus.str()) || !Write(folder + "/shortcuts.htm", shortcuts.str()) ||
        !Write(folder + "/operations.htm", operations.str())) {
        fprintf(stderr, "lv-helpgen: cannot write the pages in %s\n", folder.c_str());
        return 1;
    }
    return 0;
}

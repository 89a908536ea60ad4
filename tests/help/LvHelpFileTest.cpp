#include "LvTestUtil.h"
#include "app/LvImageCommands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// The compiled help file, read back with a CHM reader: it holds its start page and every page and anchor
// that its pages link to, and the generated command list names every menu command of the operation table.

namespace {

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// The names the file holds ("/default.htm", ...).
std::set<std::string> Listing() {
    std::set<std::string> names;
    std::istringstream lines(Run(std::string("'") + LV_CHMLS + "' -n list '" + LV_CHM_FILE + "' 2>/dev/null"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '/') names.insert(line);
    return names;
}

// A page as the help file holds it.
std::string Page(const TempDir& dir, const std::string& name) {
    const std::string out = dir.Path("page.htm");
    std::remove(out.c_str());
    Run(std::string("'") + LV_CHMLS + "' extract '" + LV_CHM_FILE + "' '/" + name + "' '" + out + "' >/dev/null 2>&1");
    std::ifstream in(out, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The values of an attribute ("href", "id") in the page.
std::vector<std::string> Attributes(const std::string& page, const std::string& attribute) {
    std::vector<std::string> values;
    const std::string mark = " " + attribute + "=\"";
    for (size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) {
        const size_t start = at + mark.size();
        const size_t end = page.find('"', start);
        if (end == std::string::npos) break;
        values.push_back(page.substr(start, end - start));
    }
    return values;
}

TEST(HelpFile, HoldsTheStartPageAndEveryPageAndAnchorItLinksTo) {
    const std::set<std::string> names = Listing();
    ASSERT_TRUE(names.count("/default.htm")) << "the help file has no start page";
    TempDir dir;
    std::map<std::string, std::string> pages; // name -> text, every page reached from the start page
    std::vector<std::string> queue{"default.htm"};
    std::vector<std::pair<std::string, std::string>> anchors; // page, id
    while (!queue.empty()) {
        const std::string name = queue.back();
        queue.pop_back();
        if (pages.count(name)) continue;
        pages[name] = Page(dir, name);
        ASSERT_FALSE(pages[name].empty()) << name;
        for (std::string target : Attributes(pages[name], "href")) {
            if (target.compare(0, 7, "mailto:") == 0 || target.compare(0, 5, "http:") == 0 ||
                target.compare(0, 6, "https:") == 0)
                continue;
            const size_t hash = target.find('#');
            std::string file = hash == std::string::npos ? target : target.substr(0, hash);
            if (file.empty()) file = name;
            if (hash != std::string::npos) anchors.push_back({file, target.substr(hash + 1)});
            EXPECT_TRUE(names.count("/" + file)) << name << " links to " << target << ", which the file lacks";
            if (names.count("/" + file) && file.size() > 4 && file.substr(file.size() - 4) == ".htm")
                queue.push_back(file);
        }
    }
    // The written pages and the generated ones are all reached.
    for (const char* page : {"opening.htm", "viewing.htm", "editing.htm", "tools.htm", "acquire.htm", "batch.htm",
                             "window.htm", "cli.htm", "menus.htm", "shortcuts.htm", "operations.htm"})
        EXPECT_TRUE(pages.count(page)) << page << " is not reached from the start page";
    for (const auto& anchor : anchors) {
        ASSERT_TRUE(pages.count(anchor.first)) << anchor.first;
        const std::vector<std::string> ids = Attributes(pages[anchor.first], "id");
        EXPECT_NE(std::find(ids.begin(), ids.end(), anchor.second), ids.end())
            << anchor.first << " has no anchor " << anchor.second;
    }
}

TEST(HelpFile, ListsEveryMenuCommandAndOperation) {
    TempDir dir;
    const std::string menus = Page(dir, "menus.htm");
    const std::string operations = Page(dir, "operations.htm");
    ASSERT_FALSE(menus.empty());
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    ASSERT_GT(count, 0u);
    for (size_t i = 0; i < count; i++) {
        EXPECT_NE(operations.find(std::string("id=\"") + table[i].name + "\""), std::string::npos) << table[i].name;
        if (LvIsMenuCommand(table[i])) {
            EXPECT_NE(menus.find(std::string("operations.htm#") + table[i].name + "\""), std::string::npos)
                << table[i].name << " is missing from the menus page";
        }
    }
    // The menus of the resource script are there too, with their keys.
    for (const char* text : {"File &gt; Open...</td><td>Ctrl+O", "Color &gt; 2 Color", "Help &gt; Content</td><td>F1",
                             "Window &gt; Windows"})
        EXPECT_NE(menus.find(text), std::string::npos) << text;
    const std::string keys = Page(dir, "shortcuts.htm");
    EXPECT_NE(keys.find("<td>Page Down</td><td>Next Picture</td>"), std::string::npos);
    EXPECT_NE(keys.find("<td>F1</td><td>Content</td>"), std::string::npos);
}

} // namespace

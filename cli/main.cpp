#include "cli/LvCli.h"

#ifdef _WIN32
#include "image/LvWideText_win.h"
#include "image/LvWinTypes.h"

#include <shellapi.h>

#include <string>
#include <vector>

// The C runtime's argv is in the ANSI code page, which cannot hold most file names: take the UTF-16
// command line instead and hand the engine UTF-8, as it expects everywhere.
int main() {
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!wide) return 2;
    std::vector<std::string> words;
    for (int i = 0; i < argc; i++)
        words.push_back(LvWideToUtf8(wide[i]));
    LocalFree(wide);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    // File names in messages are UTF-8 too.
    SetConsoleOutputCP(CP_UTF8);
    return LvCliMain(argc, argv.data(), stdout, stderr);
}
#else
int main(int argc, char** argv) {
    return LvCliMain(argc, argv, stdout, stderr);
}
#endif

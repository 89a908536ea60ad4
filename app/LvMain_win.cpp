#include "app/LvApp_win.h"

#include <windows.h>

namespace {

// Everything after the program's name on the command line.
std::wstring RawArguments() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        p++;
        while (*p && *p != L'"')
            p++;
        if (*p) p++;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            p++;
    }
    while (*p == L' ' || *p == L'\t')
        p++;
    return p;
}

std::string ExecutableName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full = path;
    size_t slash = full.find_last_of(L"\\/");
    return LvWideToUtf8(slash == std::wstring::npos ? full : full.substr(slash + 1));
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CLumivueApp app;
    app.SetCommandLine(LvWideToUtf8(RawArguments()));
    app.SetInstanceName(ExecutableName());
    return app.Run();
}

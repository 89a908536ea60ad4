#include "framework/FwMail_win.h"

#include "framework/FwWnd_win.h"

#include <mapi.h>

#include <vector>

namespace {

FwSendMailFn g_testSendMail = nullptr;

// Text in the ANSI code page; lossy tells whether some character had no place in it.
std::string ToAnsi(const std::wstring& wide, BOOL* lossy = nullptr) {
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, lossy);
    std::string text(size_t(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], n, nullptr, lossy);
    text.resize(text.size() - 1);
    return text;
}

// A path the ANSI mail interface can take: the short form when the long one has characters the ANSI code page
// cannot hold.
std::string AnsiPath(const std::string& path) {
    const std::wstring wide = LvUtf8ToWide(path);
    BOOL lossy = FALSE;
    std::string ansi = ToAnsi(wide, &lossy);
    if (!lossy) return ansi;
    DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (n == 0) return ansi;
    std::vector<wchar_t> shortPath(n);
    if (GetShortPathNameW(wide.c_str(), shortPath.data(), n) == 0) return ansi;
    return ToAnsi(shortPath.data());
}

} // namespace

void FwSetSendMailForTesting(FwSendMailFn fn) {
    g_testSendMail = fn;
}

bool FwSendMail(HWND owner, const std::string& path, const std::string& name, std::string& error) {
    error.clear();
    if (g_testSendMail) return g_testSendMail(owner, path, name, error);
    HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
    LPMAPISENDMAIL send =
        mapi ? reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")))
             : nullptr;
    if (!send) {
        if (mapi) FreeLibrary(mapi);
        error = "No mail program is installed.";
        return false;
    }
    std::string ansiPath = AnsiPath(path), ansiName = ToAnsi(LvUtf8ToWide(name));
    MapiFileDesc file = {};
    file.nPosition = ULONG(-1);
    file.lpszPathName = &ansiPath[0];
    file.lpszFileName = &ansiName[0];
    MapiMessage message = {};
    message.nFileCount = 1;
    message.lpFiles = &file;
    const ULONG result = send(0, ULONG_PTR(owner), &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    FreeLibrary(mapi);
    if (result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT) return result == SUCCESS_SUCCESS;
    error = "The mail program could not send the photo (error " + std::to_string(result) + ").";
    return false;
}

#include "acquire/LvDesktop_win.h"

#include "acquire/LvDesktop.h"
#include "app/LvMainFrame_win.h"
#include "image/LvImage.h"
#include "res/resource.h"

#include <shlobj.h>

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\desktop";
const wchar_t kClassesKey[] = L"Software\\Classes";
const char kFileTypeText[] = "Lumivue Image";

// A text value of a key (name null: the key's default value).
bool SetTextValue(HKEY key, const wchar_t* name, const std::string& value) {
    const std::wstring text = LvUtf8ToWide(value);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void BroadcastWallpaper(const wchar_t* path) {
    SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(path), SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

HKEY OpenClasses(REGSAM access) {
    HKEY classes = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kClassesKey, 0, nullptr, 0, access, nullptr, &classes, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    return classes;
}

bool SetDefaultValue(HKEY parent, const std::string& subKey, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, LvUtf8ToWide(subKey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool ok = SetTextValue(key, nullptr, value);
    RegCloseKey(key);
    return ok;
}

// The open command stored under an extension's key; empty when there is none.
std::string OpenCommandOf(HKEY extensionKey) {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(extensionKey, L"Shell\\Open\\Command", nullptr,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, value, &size) != ERROR_SUCCESS)
        return std::string();
    return LvWideToUtf8(value);
}

} // namespace

const char kLvAssocCaption[] = "Lumivue - Quillmarsh";

// ---- wallpaper ----------------------------------------------------------------------------------------------

std::string LvWallpaperPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    std::wstring path = std::wstring(folder) + L"\\Lumivue";
    CreateDirectoryW(path.c_str(), nullptr);
    return LvWideToUtf8(path.c_str()) + "\\" + kLvWallpaperFileName;
}

bool LvSetWallpaper(CLvImage& image, int style, std::string& error) {
    const std::string path = LvWallpaperPath();
    if (path.empty()) {
        error = "Can't find the folder for the wallpaper file";
        return false;
    }
    // The engine writes beside the file and replaces it only after a complete write.
    if (!image.Encode(path.c_str(), LVFMT_BMP)) {
        const char* text = image.GetLastErrorText();
        error = text && *text ? text : "Can't write the file";
        return false;
    }
    const LvWallpaperValues values = LvWallpaperValuesFor(style);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        SetTextValue(key, L"WallpaperStyle", values.wallpaperStyle);
        SetTextValue(key, L"TileWallpaper", values.tileWallpaper);
        RegCloseKey(key);
    }
    BroadcastWallpaper(LvUtf8ToWide(path).c_str());
    return true;
}

void LvRestoreWallpaper() {
    BroadcastWallpaper(nullptr);
}

void LvDeleteWallpaper() {
    BroadcastWallpaper(L"");
}

// ---- file associations --------------------------------------------------------------------------------------

CFileAssocDlg::CFileAssocDlg(const std::string& programPath) : CFwDialog(IDD_FILE_ASSOC), m_program(programPath) {}

bool CFileAssocDlg::OnInitDialog() {
    return true;
}

int CFileAssocDlg::Say(const std::string& text, UINT flags) const {
    return MessageBoxW(m_hwnd, LvUtf8ToWide(text).c_str(), LvUtf8ToWide(kLvAssocCaption).c_str(), flags);
}

bool CFileAssocDlg::AnyChecked() const {
    for (int i = 0; i < kLvAssociationCount; i++)
        if (IsChecked(kLvAssociations[i].controlId)) return true;
    return false;
}

bool CFileAssocDlg::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return CFwDialog::OnCommand(id, code);
    switch (id) {
    case IDC_ASSOC_CHOOSE_ALL:
        OnChooseAll();
        return true;
    case IDC_ASSOC_ASSOCIATE:
        OnAssociate();
        return true;
    case IDC_ASSOC_CLEAR:
        OnClear();
        return true;
    default:
        break;
    }
    for (int i = 0; i < kLvAssociationCount; i++)
        if (id == kLvAssociations[i].controlId) {
            OnExtensionBox();
            return true;
        }
    return CFwDialog::OnCommand(id, code);
}

void CFileAssocDlg::OnChooseAll() {
    const bool on = IsChecked(IDC_ASSOC_CHOOSE_ALL);
    for (int i = 0; i < kLvAssociationCount; i++)
        SetCheck(kLvAssociations[i].controlId, on);
}

void CFileAssocDlg::OnExtensionBox() {
    bool all = true;
    for (int i = 0; i < kLvAssociationCount; i++)
        all = all && IsChecked(kLvAssociations[i].controlId);
    SetCheck(IDC_ASSOC_CHOOSE_ALL, all);
}

void CFileAssocDlg::OnAssociate() {
    if (!AnyChecked()) {
        Say("No extentions were chosen - Nothing to associate\t", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (Say(LvLoadString(IDS_ASSOC_ASK), MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    HKEY classes = OpenClasses(KEY_ALL_ACCESS);
    if (!classes) {
        Say("No write accesss to the registry\t\nPlease try to login windows with more permissions\t",
            MB_OK | MB_ICONERROR);
        return;
    }
    for (int i = 0; i < kLvAssociationCount; i++) {
        const LvAssociation& a = kLvAssociations[i];
        if (!IsChecked(a.controlId)) continue;
        const std::string iconValue = LvAssocIconValue(m_program, a.iconIndex);
        const std::string commandValue = LvAssocCommandValue(m_program);
        const std::wstring extension = LvUtf8ToWide(a.extension);
        HKEY existing = nullptr;
        if (RegOpenKeyExW(classes, extension.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
            RegCloseKey(existing);
            if (RegDeleteTreeW(classes, extension.c_str()) != ERROR_SUCCESS) {
                Say("Can not recursively delete the registry key\t\n(You may not have permission to WRITE into "
                    "registry)\t\nMission aborted\t",
                    MB_OK | MB_ICONERROR);
                break;
            }
        }
        const std::string extKey = a.extension;
        const std::string viewKey = extKey + "\\Shell\\View with The Lumivue\\Command";
        if (viewKey.size() > kLvAssocMaxText || iconValue.size() > kLvAssocMaxText ||
            commandValue.size() > kLvAssocMaxText) {
            Say("Can not associate path longer than 255 characters\t\nTo associate - Put this file in a shorter path "
                "on your hard drive and try again\t",
                MB_OK | MB_ICONERROR);
            break;
        }
        if (!SetDefaultValue(classes, extKey, kFileTypeText)) {
            Say("No write accesss to the registry\t\nPlease try to login windows with more permissions\t",
                MB_OK | MB_ICONERROR);
            break;
        }
        SetDefaultValue(classes, extKey + "\\DefaultIcon", iconValue);
        SetDefaultValue(classes, extKey + "\\Shell\\Open\\Command", commandValue);
        SetDefaultValue(classes, viewKey, commandValue);
    }
    RegCloseKey(classes);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void CFileAssocDlg::OnClear() {
    if (!AnyChecked()) {
        Say("No extentions were chosen - No associations to clear\t", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (Say(LvLoadString(IDS_ASSOC_CLEAR_ASK), MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    HKEY classes = OpenClasses(KEY_ALL_ACCESS);
    for (int i = 0; classes && i < kLvAssociationCount; i++) {
        const LvAssociation& a = kLvAssociations[i];
        if (!IsChecked(a.controlId)) continue;
        const std::wstring extension = LvUtf8ToWide(a.extension);
        HKEY key = nullptr;
        if (RegOpenKeyExW(classes, extension.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            Say(std::string("Can not OPEN the selected registry key \"") + a.extension +
                    "\"\t\nKey does not exist OR more access permissions needed\t",
                MB_OK | MB_ICONERROR);
            break;
        }
        const bool ours = LvAssociationIsOurs(OpenCommandOf(key), m_program);
        RegCloseKey(key);
        // Another program's association is not ours to remove.
        if (!ours) continue;
        if (RegDeleteTreeW(classes, extension.c_str()) != ERROR_SUCCESS) {
            Say("Can not recursively delete the registry key\t\n(You may not have permission to WRITE into "
                "registry)\t\n\t",
                MB_OK | MB_ICONERROR);
            break;
        }
    }
    if (classes) RegCloseKey(classes);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

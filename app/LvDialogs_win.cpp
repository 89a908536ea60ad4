#include "app/LvDialogs_win.h"

#include "app/LvMainFrame_win.h"

#include "app/LvDocRules.h"
#include "formats/LvFormatTable.h"
#include "res/resource.h"

#include "LvVersion.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cstring>
#include <shellapi.h>

#include <vector>

namespace {

struct OptionButton {
    int id;
    DWORD option;
};
const OptionButton kGifButtons[] = {
    {IDC_GIF_RLE, kLvGifRunLength}, {IDC_GIF_NONE, kLvGifUncompressed}, {IDC_GIF_LZW, kLvGifLzw}};
const OptionButton kTifButtons[] = {
    {IDC_TIF_AUTO, kLvTiffByDepth}, {IDC_TIF_NONE, kLvTiffNone},         {IDC_TIF_RLE, kLvTiffRle},
    {IDC_TIF_FAX4, kLvTiffFax4},    {IDC_TIF_PACKBITS, kLvTiffPackBits}, {IDC_TIF_JPEG, kLvTiffJpeg},
    {IDC_TIF_LZW, kLvTiffLzw}};

} // namespace

CEncodeOptionsDlg::CEncodeOptionsDlg(bool tiff, DWORD option)
    : CFwDialog(IDD_ENCODE_OPTIONS), m_tiff(tiff), m_option(option) {}

bool CEncodeOptionsDlg::OnInitDialog() {
    const OptionButton* mine = m_tiff ? kTifButtons : kGifButtons;
    const size_t count =
        m_tiff ? sizeof(kTifButtons) / sizeof(kTifButtons[0]) : sizeof(kGifButtons) / sizeof(kGifButtons[0]);
    // The other variant's group is disabled.
    EnableWindow(Item(m_tiff ? IDC_GIF_GROUP : IDC_TIF_GROUP), FALSE);
    for (const OptionButton& b : m_tiff ? std::vector<OptionButton>(std::begin(kGifButtons), std::end(kGifButtons))
                                        : std::vector<OptionButton>(std::begin(kTifButtons), std::end(kTifButtons)))
        EnableWindow(Item(b.id), FALSE);
    int chosen = mine[0].id; // an unlisted value preselects the first button
    for (size_t i = 0; i < count; i++)
        if (mine[i].option == m_option) chosen = mine[i].id;
    SetCheck(chosen, true);
    return true;
}

bool CEncodeOptionsDlg::OnOK() {
    const OptionButton* mine = m_tiff ? kTifButtons : kGifButtons;
    const size_t count =
        m_tiff ? sizeof(kTifButtons) / sizeof(kTifButtons[0]) : sizeof(kGifButtons) / sizeof(kGifButtons[0]);
    for (size_t i = 0; i < count; i++)
        if (IsChecked(mine[i].id)) m_option = mine[i].option;
    return true;
}

CJpegOptionsDlg::CJpegOptionsDlg(int quality, int xdpi, int ydpi)
    : CFwDialog(IDD_JPEG_OPTIONS), m_quality(quality), m_xdpi(xdpi), m_ydpi(ydpi) {}

bool CJpegOptionsDlg::OnInitDialog() {
    SetInt(IDC_XRES, m_xdpi);
    SetInt(IDC_YRES, m_ydpi);
    HWND slider = Item(IDC_QUALITY);
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 5);
    SendMessageW(slider, TBM_SETTICFREQ, 10, 0);
    SendMessageW(slider, TBM_SETPOS, TRUE, m_quality);
    ShowQuality();
    return true;
}

void CJpegOptionsDlg::ShowQuality() {
    int q = int(SendMessageW(Item(IDC_QUALITY), TBM_GETPOS, 0, 0));
    SetText(IDC_QUALITY_TEXT, std::to_string(q) + " %");
}

bool CJpegOptionsDlg::OnOK() {
    bool okX = false, okY = false;
    int x = GetInt(IDC_XRES, &okX), y = GetInt(IDC_YRES, &okY);
    if (!okX || x < 0 || x > 10000 || !okY || y < 0 || y > 10000) {
        MessageBoxW(m_hwnd, L"Please enter an integer between 0 and 10000.", L"Lumivue", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(!okX || x < 0 || x > 10000 ? IDC_XRES : IDC_YRES));
        return false;
    }
    m_xdpi = x;
    m_ydpi = y;
    m_quality = int(SendMessageW(Item(IDC_QUALITY), TBM_GETPOS, 0, 0));
    return true;
}

INT_PTR CJpegOptionsDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == Item(IDC_QUALITY)) {
        ShowQuality();
        return TRUE;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

CAboutDlg::CAboutDlg() : CFwDialog(IDD_ABOUTBOX) {}

namespace {
// "https://quillmarsh.example/lumivue/" shown as "quillmarsh.example/lumivue", a mail link as its address.
std::string LinkShownAs(std::string link) {
    for (const char* scheme : {"https://", "http://", "mailto:"})
        if (link.compare(0, strlen(scheme), scheme) == 0) link = link.substr(strlen(scheme));
    if (!link.empty() && link.back() == '/') link.pop_back();
    return link;
}
} // namespace

bool CAboutDlg::OnInitDialog() {
    SetText(IDC_ABOUT_VERSION, std::string("Lumivue ") + LV_VERSION_STRING);
    // The addresses are the Help menu's, from the string table.
    const struct {
        int control;
        UINT link;
    } links[] = {{IDC_HOMEPAGE, IDS_LINK_HOME_PAGE}, {IDC_SUPPORT_MAIL, IDS_LINK_SUPPORT}};
    for (const auto& l : links) {
        const std::string address = LvLoadString(l.link);
        SetText(l.control, "<a href=\"" + address + "\">" + LinkShownAs(address) + "</a>");
    }
    return true;
}

INT_PTR CAboutDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY) {
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if ((hdr->code == NM_CLICK || hdr->code == NM_RETURN) &&
            (hdr->idFrom == IDC_HOMEPAGE || hdr->idFrom == IDC_SUPPORT_MAIL)) {
            const NMLINK* link = reinterpret_cast<const NMLINK*>(lParam);
            LvOpenLink(m_hwnd, LvWideToUtf8(link->item.szUrl));
            return TRUE;
        }
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

bool LvPromptFileName(HWND owner, std::string& name, bool open, DWORD flags, int& format) {
    const std::string filter = LvFileFilter(open);
    std::wstring wideFilter(filter.size(), L'\0');
    // The filter holds NULs: convert it piece by piece.
    {
        std::wstring converted;
        size_t start = 0;
        while (start < filter.size()) {
            size_t end = filter.find('\0', start);
            converted += LvUtf8ToWide(filter.substr(start, end - start));
            converted += L'\0';
            start = end + 1;
        }
        wideFilter = converted;
    }
    const int code = format;
    std::wstring defExt = LvUtf8ToWide(LvDefaultExtension(code, open));
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    std::wstring initial = LvUtf8ToWide(name);
    if (initial.size() < buffer.size()) std::copy(initial.begin(), initial.end(), buffer.begin());
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = wideFilter.c_str();
    ofn.nFilterIndex = DWORD(LvFilterIndexOf(code, open));
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrTitle = open ? L"Open" : L"Save As";
    ofn.lpstrDefExt = defExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | flags;
    BOOL ok = open ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    if (!ok) return false;
    name = LvWideToUtf8(buffer.data());
    format = LvFormatOfFilterIndex(int(ofn.nFilterIndex), open);
    return true;
}

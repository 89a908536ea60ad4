#include "app/LvPhotoInfoDialogs_win.h"

#include "app/LvPhotoInfo.h"
#include "image/LvFileExt.h"
#include "res/resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

namespace {

const int kMinPercentage = 1, kMaxPercentage = 100;

int Clamped(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// A file dialog's filter: pairs of description and pattern, each ended by a NUL, and a final NUL.
std::wstring Filter(const std::string& description, const std::string& pattern) {
    std::wstring filter = LvUtf8ToWide(description);
    filter += L'\0';
    filter += LvUtf8ToWide(pattern);
    filter += L'\0';
    return filter;
}

} // namespace

// ---- thumbnail ----

CThumbnailDlg::CThumbnailDlg(const std::string& mark, int percentage, bool exif)
    : CFwDialog(IDD_THUMBNAIL), m_mark(mark), m_percentage(Clamped(percentage, kMinPercentage, kMaxPercentage)),
      m_exif(exif) {}

bool CThumbnailDlg::OnInitDialog() {
    SetText(IDC_THUMB_TEXT, m_mark);
    HWND slider = Item(IDC_THUMB_SIZE);
    SetScrollRange(slider, SB_CTL, kMinPercentage, kMaxPercentage, FALSE);
    SetScrollPos(slider, SB_CTL, m_percentage, TRUE);
    SetText(IDC_THUMB_SIZE_TEXT, std::to_string(m_percentage) + "%");
    SetCheck(IDC_THUMB_EXIF, m_exif);
    return true;
}

void CThumbnailDlg::OnScroll(int code, int thumb) {
    HWND slider = Item(IDC_THUMB_SIZE);
    int position = GetScrollPos(slider, SB_CTL);
    switch (code) {
    case SB_LINELEFT:
        position--;
        break;
    case SB_LINERIGHT:
        position++;
        break;
    case SB_PAGELEFT:
        position -= 10;
        break;
    case SB_PAGERIGHT:
        position += 10;
        break;
    case SB_LEFT:
        position = kMinPercentage;
        break;
    case SB_RIGHT:
        position = kMaxPercentage;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = thumb;
        break;
    default:
        return;
    }
    position = Clamped(position, kMinPercentage, kMaxPercentage);
    SetScrollPos(slider, SB_CTL, position, TRUE);
    SetText(IDC_THUMB_SIZE_TEXT, std::to_string(position) + "%");
}

INT_PTR CThumbnailDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == Item(IDC_THUMB_SIZE)) {
        OnScroll(LOWORD(wParam), short(HIWORD(wParam)));
        return TRUE;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

bool CThumbnailDlg::OnOK() {
    m_mark = FwWindowText(Item(IDC_THUMB_TEXT));
    m_percentage = GetScrollPos(Item(IDC_THUMB_SIZE), SB_CTL);
    m_exif = IsChecked(IDC_THUMB_EXIF);
    return true;
}

// ---- time stamp ----

CTimeStampDlg::CTimeStampDlg(const LOGFONTW& font, COLORREF color)
    : CFwDialog(IDD_TIME_STAMP), m_font(font), m_color(color) {
    // The pickers' window class.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
}

bool CTimeStampDlg::OnInitDialog() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    SendMessageW(Item(IDC_STAMP_DATE), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
    SendMessageW(Item(IDC_STAMP_TIME), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
    return true;
}

bool CTimeStampDlg::OnCommand(int id, int code) {
    if (id == IDC_STAMP_FONT && code == BN_CLICKED) {
        ChooseStampFont();
        return true;
    }
    return CFwDialog::OnCommand(id, code);
}

void CTimeStampDlg::ChooseStampFont() {
    LOGFONTW font = m_font;
    CHOOSEFONTW choose = {};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = m_hwnd;
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    choose.rgbColors = m_color;
    if (!ChooseFontW(&choose)) return;
    m_font = font;
    m_color = choose.rgbColors;
}

bool CTimeStampDlg::OnOK() {
    SYSTEMTIME date = {}, time = {};
    SendMessageW(Item(IDC_STAMP_DATE), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    SendMessageW(Item(IDC_STAMP_TIME), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
    m_text = LvStampText(date.wYear, date.wMonth, date.wDay, time.wHour, time.wMinute, time.wSecond);
    return true;
}

// ---- watermark ----

CWatermarkDlg::CWatermarkDlg() : CFwDialog(IDD_WATERMARK) {}

bool CWatermarkDlg::OnInitDialog() {
    SetCheck(m_file ? IDC_WM_FILE : IDC_WM_STRING, true);
    EnableFields();
    return true;
}

void CWatermarkDlg::EnableFields() {
    const bool file = IsChecked(IDC_WM_FILE);
    EnableWindow(Item(IDC_WM_TEXT), !file);
    EnableWindow(Item(IDC_WM_PATH), file);
    EnableWindow(Item(IDC_WM_BROWSE), file);
}

bool CWatermarkDlg::OnCommand(int id, int code) {
    if ((id == IDC_WM_STRING || id == IDC_WM_FILE) && code == BN_CLICKED) {
        EnableFields();
        return true;
    }
    if (id == IDC_WM_BROWSE && code == BN_CLICKED) {
        Browse();
        return true;
    }
    return CFwDialog::OnCommand(id, code);
}

void CWatermarkDlg::Browse() {
    const std::wstring filter = Filter("All Files (*.*)", "*.*");
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    const std::wstring current = LvUtf8ToWide(FwWindowText(Item(IDC_WM_PATH)));
    if (current.size() < buffer.size()) std::copy(current.begin(), current.end(), buffer.begin());
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_hwnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (GetOpenFileNameW(&ofn)) SetText(IDC_WM_PATH, LvWideToUtf8(buffer.data()));
}

bool CWatermarkDlg::OnOK() {
    m_file = IsChecked(IDC_WM_FILE);
    m_text = FwWindowText(Item(IDC_WM_TEXT));
    m_path = FwWindowText(Item(IDC_WM_PATH));
    return true;
}

bool LvPromptWatermarkTarget(HWND owner, std::string& name) {
    const std::string extension = GetFileExt(name);
    const std::wstring filter = Filter(extension + " files(*." + extension + ")", "*." + extension);
    const std::wstring defaultExtension = LvUtf8ToWide(extension);
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    const std::wstring initial = LvUtf8ToWide(name);
    if (initial.size() < buffer.size()) std::copy(initial.begin(), initial.end(), buffer.begin());
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    // Replacing a file the user picked asks first.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn)) return false;
    name = LvWideToUtf8(buffer.data());
    return true;
}

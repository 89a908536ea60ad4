#include "app/LvParamDialog_win.h"

#include "app/LvEffectPreview.h"
#include "image/LvScopedWin.h"
#include "image/LvStream.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const UINT_PTR kCompareSubclass = 1;

std::string Number(int32_t value, const char* suffix) {
    return std::to_string(value) + suffix;
}

// Lists are list boxes or drop-down lists.
bool IsComboBox(HWND hwnd) {
    wchar_t className[32] = {};
    GetClassNameW(hwnd, className, 32);
    return _wcsicmp(className, L"ComboBox") == 0;
}

} // namespace

bool LvLoadResourcePicture(int resource, CLvImage& image) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data || size == 0) return false;
    CLvMemStream stream(static_cast<BYTE*>(const_cast<void*>(data)), size);
    return image.Decode(&stream, LVFMT_PNG);
}

CLvParamDlg::CLvParamDlg(const LvParamDialog& dialog, CLvEffectConfig& config, const CLvImage* image,
                         const LvOpContext& context, int toolMode)
    : CFwDialog(UINT(dialog.templateId)), m_dialog(dialog), m_config(config), m_image(image), m_context(context),
      m_toolMode(toolMode), m_op(LvFindOperation(dialog.operation)) {}

const LvDialogControl* CLvParamDlg::Control(int id, LvControlKind kind) const {
    for (const LvDialogControl& c : m_dialog.controls)
        if (c.id == id && c.kind == kind) return &c;
    return nullptr;
}

bool CLvParamDlg::OnInitDialog() {
    if (m_dialog.caption) SetWindowTextW(m_hwnd, LvUtf8ToWide(m_dialog.caption).c_str());
    if (m_dialog.label) SetText(IDC_LABEL1, m_dialog.label);
    // Only the Windy kind shows its box.
    if (Item(IDC_SMOOTH) && !Control(IDC_SMOOTH, kLvControlCheck)) ShowWindow(Item(IDC_SMOOTH), SW_HIDE);
    // Photo Frame takes no transparency.
    if (m_dialog.kind == kLvDialogPictures && !Control(IDC_SLIDER1, kLvControlSlider)) {
        for (int id : {IDC_SLIDER1, IDC_READOUT1})
            ShowWindow(Item(id), SW_HIDE);
    }
    for (const LvDialogControl& c : m_dialog.controls)
        InitControl(c);
    if (m_dialog.kind == kLvDialogResize) {
        SetCheck(IDC_MAINTAIN_RATIO, true);
        ShowResizeMode();
    }
    if (HWND compare = Item(IDC_COMPARE)) {
        if (m_dialog.preview)
            SetWindowSubclass(compare, CompareButtonProc, kCompareSubclass, reinterpret_cast<DWORD_PTR>(this));
        else
            ShowWindow(compare, SW_HIDE);
    }
    if (m_dialog.preview && m_image && m_image->IsValid() && Item(IDC_PREVIEW)) {
        RECT area = FwClientRect(Item(IDC_PREVIEW));
        if (LvMakePreview(*m_image, area.right - 2, area.bottom - 2, m_source))
            m_scale = double(m_source.GetWidth()) / m_image->GetWidth();
    }
    if (m_dialog.kind == kLvDialogPictures) LoadPicture();
    UpdatePreview();
    return true;
}

void CLvParamDlg::InitControl(const LvDialogControl& c) {
    HWND hwnd = Item(c.id);
    if (!hwnd) return;
    const int32_t value = m_config.Number(c.value);
    switch (c.kind) {
    case kLvControlSlider: {
        SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE, m_config.Min(c.value), m_config.Max(c.value), 1, 0, 0};
        SetScrollInfo(hwnd, SB_CTL, &info, FALSE);
        if (c.id == IDC_SLIDER1 && Item(IDC_MIN1)) {
            SetText(IDC_MIN1, Number(m_config.Min(c.value), c.suffix));
            SetText(IDC_MAX1, Number(m_config.Max(c.value), c.suffix));
        }
        ShowSlider(c);
        break;
    }
    case kLvControlRadios:
        for (size_t i = 0; i < c.choices.size(); i++)
            SetCheck(c.id + int(i), c.choices[i] == value);
        break;
    case kLvControlCheck:
        SetCheck(c.id, value != 0);
        break;
    case kLvControlList: {
        const bool combo = IsComboBox(hwnd);
        for (const std::string& entry : c.entries)
            SendMessageW(hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(LvUtf8ToWide(entry).c_str()));
        int selected = 0;
        for (size_t i = 0; i < c.choices.size(); i++)
            if (c.choices[i] == value) selected = int(i);
        SendMessageW(hwnd, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(selected), 0);
        m_config.SetNumber(c.value, c.choices.empty() ? 0 : c.choices[size_t(selected)]);
        break;
    }
    case kLvControlEdit:
        m_settingText = true;
        SetInt(c.id, value);
        m_settingText = false;
        if (c.spin) {
            SendMessageW(Item(c.spin), UDM_SETRANGE32, WPARAM(c.editMin), LPARAM(c.editMax));
            SendMessageW(Item(c.spin), UDM_SETPOS32, 0, LPARAM(value));
        }
        break;
    }
}

void CLvParamDlg::ShowSlider(const LvDialogControl& c) {
    const int32_t value = m_config.Number(c.value);
    SetScrollPos(Item(c.id), SB_CTL, value, TRUE);
    if (c.readout) SetText(c.readout, Number(value, c.suffix));
    // A field that shows the same value follows the slider.
    for (const LvDialogControl& other : m_dialog.controls) {
        if (other.kind != kLvControlEdit || std::string(other.value) != c.value) continue;
        m_settingText = true;
        SetInt(other.id, value);
        m_settingText = false;
    }
}

void CLvParamDlg::OnScroll(HWND bar, int code, int position) {
    const LvDialogControl* c = Control(GetDlgCtrlID(bar), kLvControlSlider);
    if (!c) return;
    int32_t value = m_config.Number(c->value);
    const int32_t page = std::max<int32_t>(1, (m_config.Max(c->value) - m_config.Min(c->value)) / 10);
    switch (code) {
    case SB_LINELEFT:
        value--;
        break;
    case SB_LINERIGHT:
        value++;
        break;
    case SB_PAGELEFT:
        value -= page;
        break;
    case SB_PAGERIGHT:
        value += page;
        break;
    case SB_LEFT:
        value = m_config.Min(c->value);
        break;
    case SB_RIGHT:
        value = m_config.Max(c->value);
        break;
    case SB_THUMBTRACK: {
        SCROLLINFO info = {sizeof(info), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(bar, SB_CTL, &info);
        value = info.nTrackPos;
        break;
    }
    case SB_THUMBPOSITION:
        value = position; // the ranges fit in the message's 16 bits
        break;
    default:
        return;
    }
    m_config.SetNumber(c->value, value);
    ShowSlider(*c);
    UpdatePreview();
}

bool CLvParamDlg::ReadEdit(const LvDialogControl& c, bool report) {
    wchar_t text[64] = {};
    GetDlgItemTextW(m_hwnd, c.id, text, 64);
    const bool fieldRange = c.editMax > c.editMin;
    const int32_t low = fieldRange ? c.editMin : m_config.Min(c.value);
    const int32_t high = fieldRange ? c.editMax : m_config.Max(c.value);
    // The resize dialog's percentage is a real number; its whole part is kept.
    wchar_t* end = nullptr;
    const double number = wcstod(text, &end);
    const bool real = m_dialog.kind == kLvDialogResize && c.id == IDC_EDIT1;
    bool ok = end != text && *end == 0 && std::isfinite(number) && (real || number == std::floor(number)) &&
              number >= low && number <= high;
    if (ok) {
        m_config.SetNumber(c.value, int32_t(number));
        return true;
    }
    if (report) {
        char message[96];
        snprintf(message, sizeof(message), "Please enter %s between %d and %d.", real ? "a number" : "an integer",
                 int(low), int(high));
        MessageBoxW(m_hwnd, LvUtf8ToWide(message).c_str(), L"Lumivue", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(c.id));
        SendMessageW(Item(c.id), EM_SETSEL, 0, -1);
    }
    return false;
}

void CLvParamDlg::EditChanged(const LvDialogControl& c) {
    if (m_settingText || !ReadEdit(c, false)) return;
    // A slider that shows the same value follows the field, within its own range.
    for (const LvDialogControl& other : m_dialog.controls)
        if (other.kind == kLvControlSlider && std::string(other.value) == c.value) {
            SetScrollPos(Item(other.id), SB_CTL, m_config.Number(c.value), TRUE);
            if (other.readout) SetText(other.readout, Number(m_config.Number(c.value), other.suffix));
        }
    if (m_dialog.kind == kLvDialogResize) KeepRatio(c.id);
    if (m_dialog.kind == kLvDialogMapping) InvalidateRect(Item(IDC_PREVIEW), nullptr, FALSE);
    UpdatePreview();
}

void CLvParamDlg::ShowResizeMode() {
    const bool percent = m_config.Number("Type") != 0;
    EnableWindow(Item(IDC_EDIT1), percent);
    for (int id : {IDC_EDIT2, IDC_EDIT3, IDC_MAINTAIN_RATIO})
        EnableWindow(Item(id), !percent);
}

// With "Maintain Ratio", a new width gives the height of the picture's ratio and the other way round.
void CLvParamDlg::KeepRatio(int editedId) {
    if (!m_image || !m_image->IsValid() || m_config.Number("Type") != 0 || !IsChecked(IDC_MAINTAIN_RATIO)) return;
    if (editedId != IDC_EDIT2 && editedId != IDC_EDIT3) return;
    const double ratio = double(m_image->GetWidth()) / m_image->GetHeight();
    const bool width = editedId == IDC_EDIT2;
    const int32_t other =
        width ? int32_t(m_config.Number("Width") / ratio) : int32_t(m_config.Number("Height") * ratio);
    m_config.SetNumber(width ? "Height" : "Width", other);
    m_settingText = true;
    SetInt(width ? IDC_EDIT3 : IDC_EDIT2, m_config.Number(width ? "Height" : "Width"));
    m_settingText = false;
}

void CLvParamDlg::LoadPicture() {
    const std::vector<LvFusePicture>& pictures =
        m_dialog.command == ID_PHOTO_PATTERN ? LvPatternPictures() : LvFramePictures();
    const size_t index = size_t(m_config.Number("Picture"));
    m_picture.Destroy();
    if (index < pictures.size()) LvLoadResourcePicture(pictures[index].resource, m_picture);
    m_context.auxImage = m_picture.IsValid() ? &m_picture : nullptr;
}

bool CLvParamDlg::OnCommand(int id, int code) {
    if (id == IDOK || id == IDCANCEL) return CFwDialog::OnCommand(id, code);
    for (const LvDialogControl& c : m_dialog.controls) {
        switch (c.kind) {
        case kLvControlRadios:
            if (id < c.id || id >= c.id + int(c.choices.size()) || code != BN_CLICKED) continue;
            m_config.SetNumber(c.value, c.choices[size_t(id - c.id)]);
            if (m_dialog.kind == kLvDialogResize) ShowResizeMode();
            UpdatePreview();
            return true;
        case kLvControlCheck:
            if (id != c.id || code != BN_CLICKED) continue;
            m_config.SetNumber(c.value, IsChecked(id) ? 1 : 0);
            UpdatePreview();
            return true;
        case kLvControlList: {
            if (id != c.id || (code != LBN_SELCHANGE && code != CBN_SELCHANGE)) continue;
            const bool combo = IsComboBox(Item(id));
            const LRESULT selected = SendMessageW(Item(id), combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
            if (selected >= 0 && size_t(selected) < c.choices.size()) m_config.SetNumber(c.value, c.choices[selected]);
            if (m_dialog.kind == kLvDialogPictures) LoadPicture();
            UpdatePreview();
            return true;
        }
        case kLvControlEdit:
            if (id != c.id || code != EN_CHANGE) continue;
            EditChanged(c);
            return true;
        case kLvControlSlider:
            break;
        }
    }
    return false;
}

bool CLvParamDlg::OnOK() {
    for (const LvDialogControl& c : m_dialog.controls)
        if (c.kind == kLvControlEdit && IsWindowEnabled(Item(c.id)) && !ReadEdit(c, true)) return false;
    return true;
}

void CLvParamDlg::UpdatePreview() {
    if (!m_dialog.preview || !m_op || !m_source.IsValid()) return;
    LvArgValue args[4];
    LvDialogArgs(m_dialog, m_config, m_toolMode, args);
    m_shown.Destroy();
    if (m_op->input != kLvInputPicture || m_context.auxImage)
        LvRunPreview(*m_op, args, m_source, m_scale, m_context, m_shown);
    InvalidateRect(Item(IDC_PREVIEW), nullptr, FALSE);
}

void CLvParamDlg::DrawPreview(const DRAWITEMSTRUCT& item) {
    HDC hdc = item.hDC;
    const RECT& area = item.rcItem;
    FillRect(hdc, &area, GetSysColorBrush(COLOR_BTNFACE));
    if (m_dialog.kind == kLvDialogMapping) {
        DrawMapping(hdc, area);
        return;
    }
    CLvImage& picture = m_comparing || !m_shown.IsValid() ? m_source : m_shown;
    if (!picture.IsValid()) return;
    // Centred; an operation that changes the size (margins, rotation) is shown within the area.
    const int aw = area.right - area.left, ah = area.bottom - area.top;
    const double fit = std::min(1.0, std::min(double(aw) / picture.GetWidth(), double(ah) / picture.GetHeight()));
    const int w = std::max(1, int(picture.GetWidth() * fit)), h = std::max(1, int(picture.GetHeight() * fit));
    picture.Draw(hdc, area.left + (aw - w) / 2, area.top + (ah - h) / 2, w, h);
}

// The grey mapping: input levels across, output levels up, through (0, 0), the two points and (255, 255).
void CLvParamDlg::DrawMapping(HDC hdc, const RECT& area) {
    const int size = std::min(area.right - area.left, area.bottom - area.top) - 8;
    const int left = area.left + 4, bottom = area.top + 4 + size;
    auto at = [&](int x, int y) { return POINT{left + x * size / 255, bottom - y * size / 255}; };
    ScopedGdiObj<HPEN> axes(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    ScopedGdiObj<HPEN> line(CreatePen(PS_SOLID, 2, RGB(0, 0, 160)));
    {
        ScopedSelectObject select(hdc, axes.Get());
        POINT frame[] = {at(0, 255), at(0, 0), at(255, 0)};
        Polyline(hdc, frame, 3);
    }
    ScopedSelectObject select(hdc, line.Get());
    POINT points[] = {at(0, 0), at(m_config.Number("First X"), m_config.Number("First Y")),
                      at(m_config.Number("Second X"), m_config.Number("Second Y")), at(255, 255)};
    Polyline(hdc, points, 4);
}

INT_PTR CLvParamDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_HSCROLL:
        if (lParam) OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam), short(HIWORD(wParam)));
        return TRUE;
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_PREVIEW) return FALSE;
        DrawPreview(*item);
        return TRUE;
    }
    case WM_DESTROY:
        if (HWND compare = Item(IDC_COMPARE)) RemoveWindowSubclass(compare, CompareButtonProc, kCompareSubclass);
        break;
    default:
        break;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

// While the compare button is held down the preview shows the picture as it is.
LRESULT CALLBACK CLvParamDlg::CompareButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR data) {
    CLvParamDlg* dialog = reinterpret_cast<CLvParamDlg*>(data);
    bool pressed = dialog->m_comparing;
    if (msg == WM_LBUTTONDOWN || (msg == WM_KEYDOWN && wParam == VK_SPACE)) pressed = true;
    if (msg == WM_LBUTTONUP || msg == WM_CAPTURECHANGED || msg == WM_KILLFOCUS ||
        (msg == WM_KEYUP && wParam == VK_SPACE))
        pressed = false;
    if (pressed != dialog->m_comparing) {
        dialog->m_comparing = pressed;
        InvalidateRect(dialog->Item(IDC_PREVIEW), nullptr, FALSE);
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

#include "view/LvSlideShow_win.h"

#include "acquire/LvDesktop.h"
#include "app/LvApp_win.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "res/resource.h"
#include "view/LvView_win.h"

#include <commctrl.h>

#include <cstdlib>

namespace {

const char kSection[] = "Slide Show";
const int kOrderButtons[] = {IDC_SLIDE_CORRECT, IDC_SLIDE_REVERSE, IDC_SLIDE_RANDOM};

CMainFrame* Frame() {
    return CLumivueApp::Get() ? CLumivueApp::Get()->Frame() : nullptr;
}

} // namespace

int& LvSharedSlideIndex() {
    static int index = 0;
    return index;
}

// ---- dialog -------------------------------------------------------------------------------------------------

CSlideShowDlg::CSlideShowDlg(int delay, int order, bool repeat)
    : CFwDialog(IDD_SLIDE_SHOW), m_delay(LvSlideDelayClamp(delay)), m_order(order), m_repeat(repeat) {
    if (m_order < kLvSlideCorrect || m_order > kLvSlideRandom) m_order = kLvSlideCorrect;
}

bool CSlideShowDlg::OnInitDialog() {
    HWND slider = Item(IDC_SLIDE_SLIDER);
    SendMessageW(slider, TBM_SETRANGE, TRUE,
                 MAKELPARAM(LvSlideSliderPos(kLvSlideMinDelay), LvSlideSliderPos(kLvSlideMaxDelay)));
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 10);
    SendMessageW(slider, TBM_SETPOS, TRUE, LvSlideSliderPos(m_delay));
    m_filling = true;
    SetInt(IDC_SLIDE_DELAY, m_delay);
    m_filling = false;
    CheckRadioButton(m_hwnd, IDC_SLIDE_CORRECT, IDC_SLIDE_RANDOM, kOrderButtons[m_order]);
    SetCheck(IDC_SLIDE_REPEAT, m_repeat);
    return true;
}

bool CSlideShowDlg::OnCommand(int id, int code) {
    // Typing a delay moves the slider along.
    if (id == IDC_SLIDE_DELAY && code == EN_CHANGE && !m_filling) {
        bool ok = false;
        int value = GetInt(IDC_SLIDE_DELAY, &ok);
        if (ok) SendMessageW(Item(IDC_SLIDE_SLIDER), TBM_SETPOS, TRUE, LvSlideSliderPos(value));
        return true;
    }
    return CFwDialog::OnCommand(id, code);
}

INT_PTR CSlideShowDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == Item(IDC_SLIDE_SLIDER)) {
        const int position = int(SendMessageW(Item(IDC_SLIDE_SLIDER), TBM_GETPOS, 0, 0));
        m_filling = true;
        SetInt(IDC_SLIDE_DELAY, LvSlideDelayOfSlider(position));
        m_filling = false;
        return TRUE;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

bool CSlideShowDlg::OnOK() {
    bool ok = false;
    int value = GetInt(IDC_SLIDE_DELAY, &ok);
    if (!ok) {
        MessageBoxW(m_hwnd, L"Please enter the delay in milliseconds.", L"Slide Show", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_SLIDE_DELAY));
        return false;
    }
    m_delay = LvSlideDelayClamp(value);
    for (int i = 0; i < 3; i++)
        if (IsChecked(kOrderButtons[i])) m_order = i;
    m_repeat = IsChecked(IDC_SLIDE_REPEAT);
    return true;
}

// ---- the view's slide show ----------------------------------------------------------------------------------

void CLvView::OnSlideShow() {
    if (m_slideShow) {
        StopSlideShow();
        return;
    }
    CLvDoc* doc = GetDoc();
    CLumivueApp* app = CLumivueApp::Get();
    if (!doc || !app || doc->m_folderFiles.size() < 2) return;
    CLvSettings& settings = app->Settings();
    CSlideShowDlg dialog(settings.ReadNumber(kSection, "Delay", kLvSlideDefaultDelay),
                         settings.ReadNumber(kSection, "Order", kLvSlideCorrect),
                         settings.ReadNumber(kSection, "Repetition", 0) != 0);
    if (dialog.DoModal(Frame() ? Frame()->GetHwnd() : m_hwnd) != IDOK) return;
    settings.WriteNumber(kSection, "Delay", dialog.Delay());
    settings.WriteNumber(kSection, "Order", dialog.Order());
    settings.WriteNumber(kSection, "Repetition", dialog.Repeat() ? 1 : 0);

    doc->m_slideFiles.clear();
    for (int i : LvSlideOrder(int(doc->m_folderFiles.size()), dialog.Order(), [](int n) { return std::rand() % n; }))
        doc->m_slideFiles.push_back(doc->m_folderFiles[size_t(i)]);
    m_slideRepeat = dialog.Repeat();
    // Full screen, unless the window is there already (the command is a toggle).
    if (Frame() && !Frame()->IsFullScreen()) SendMessageW(Frame()->GetHwnd(), WM_COMMAND, ID_VIEW_FULL_SCREEN, 0);
    SetTimer(m_hwnd, kLvSlideTimer, UINT(dialog.Delay()), nullptr);
    while (ShowCursor(FALSE) >= 0) {}
    m_slideShow = true;
}

void CLvView::StopSlideShow() {
    while (ShowCursor(TRUE) < 0) {}
    KillTimer(m_hwnd, kLvSlideTimer);
    m_slideShow = false;
}

void CLvView::OnSlideTimer() {
    CLvDoc* doc = GetDoc();
    if (!doc || !m_slideShow) return;
    const int count = int(doc->m_slideFiles.size());
    int& index = LvSharedSlideIndex();
    // A file that cannot be shown is passed over for the next one; a list with nothing showable ends the show.
    bool shown = false, stop = false;
    for (int tries = 0; tries < count && !shown && !stop; tries++) {
        const LvSlideStep step = LvSlideAdvance(index, count, m_slideRepeat);
        index = step.nextIndex;
        stop = step.stop;
        shown = doc->ShowSlide(doc->m_slideFiles[size_t(step.slide)]);
    }
    if (stop || !shown || count == 0) {
        StopSlideShow();
        if (Frame() && Frame()->IsFullScreen()) PostMessageW(Frame()->GetHwnd(), WM_COMMAND, ID_VIEW_FULL_SCREEN, 0);
    }
}

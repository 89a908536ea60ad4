#pragma once

#include "framework/FwDialog_win.h"

#include <string>

// "Capture Screen": the window to capture ("Desktop" first, then the visible titled windows) and the
// destination.
class CCaptureDlg : public CFwDialog {
public:
    explicit CCaptureDlg(int destination);
    HWND Window() const { return m_window; }
    const std::string& WindowText() const { return m_windowText; }
    int Destination() const { return m_dest; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;

private:
    HWND m_window = nullptr;
    std::string m_windowText;
    int m_dest;
};

// The hot key's combination, what it captures and where to.
class CHotKeyDlg : public CFwDialog {
public:
    CHotKeyDlg(WORD modifiers, WORD vk, int area, int destination);
    WORD Modifiers() const { return m_modifiers; }
    WORD Vk() const { return m_vk; }
    int Area() const { return m_area; }
    int Destination() const { return m_dest; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;

private:
    WORD m_modifiers, m_vk;
    int m_area, m_dest;
};

// The destination radio buttons shared by both dialogs.
void LvSetDestinationButtons(HWND dialog, int destination);
int LvDestinationOfButtons(HWND dialog);

#pragma once

#include "framework/FwDialog_win.h"

#include <string>

// The encode-options dialog: GIF or TIFF variant; the codec option preselects a button and the chosen one is
// written back.
class CEncodeOptionsDlg : public CFwDialog {
public:
    CEncodeOptionsDlg(bool tiff, DWORD option);
    DWORD Option() const { return m_option; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;

private:
    bool m_tiff;
    DWORD m_option;
};

// The JPEG options dialog: resolutions (0..10000) and quality (0..100 on a slider).
class CJpegOptionsDlg : public CFwDialog {
public:
    CJpegOptionsDlg(int quality, int xdpi, int ydpi);
    int Quality() const { return m_quality; }
    int XDpi() const { return m_xdpi; }
    int YDpi() const { return m_ydpi; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowQuality();
    int m_quality, m_xdpi, m_ydpi;
};

class CAboutDlg : public CFwDialog {
public:
    CAboutDlg();

protected:
    bool OnInitDialog() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The file dialog of opening and saving: title "Open" or "Save As", the type filter, the preselected row of
// format (or JPEG's), the default extension of that row. On OK name holds the chosen path and format the
// chosen row's format code.
bool LvPromptFileName(HWND owner, std::string& name, bool open, DWORD flags, int& format);

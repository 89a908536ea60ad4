#pragma once

#include "framework/FwDialog_win.h"

#include <string>

// The thumbnail dialog: caption text, size in percent (1..100) on a slider with its read-out, and whether
// the camera's exposure goes into the caption.
class CThumbnailDlg : public CFwDialog {
public:
    CThumbnailDlg(const std::string& mark, int percentage, bool exif);
    const std::string& Mark() const { return m_mark; }
    int Percentage() const { return m_percentage; }
    bool Exif() const { return m_exif; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnScroll(int code, int thumb);
    std::string m_mark;
    int m_percentage;
    bool m_exif;
};

// The time-stamp dialog: a date and a time picker, both starting now, and the font dialog (with colour) for
// the stamp's font. On OK Text() is the chosen date and time.
class CTimeStampDlg : public CFwDialog {
public:
    CTimeStampDlg(const LOGFONTW& font, COLORREF color);
    const LOGFONTW& Font() const { return m_font; }
    COLORREF Color() const { return m_color; }
    const std::string& Text() const { return m_text; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnOK() override;

private:
    void ChooseStampFont();
    LOGFONTW m_font;
    COLORREF m_color;
    std::string m_text;
};

// The watermark dialog: a text, or a file chosen by name or with "Browse".
class CWatermarkDlg : public CFwDialog {
public:
    CWatermarkDlg();
    bool IsFile() const { return m_file; }
    const std::string& Text() const { return m_text; }
    const std::string& Path() const { return m_path; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnOK() override;

private:
    void EnableFields();
    void Browse();
    bool m_file = false;
    std::string m_text;
    std::string m_path;
};

// The save dialog for a file found in a watermark: preset with name, one filter of the name's extension. On
// OK name holds the chosen path.
bool LvPromptWatermarkTarget(HWND owner, std::string& name);

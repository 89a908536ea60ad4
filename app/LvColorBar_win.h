#pragma once

#include "framework/FwWnd_win.h"
#include "image/LvWinTypes.h"
#include "view/LvMouseTools.h"

#include <string>

// The colour bar of the main window: the read-out of the pixel under the mouse (R, G, B, I, X, Y and a
// swatch of its colour) and the foreground and background colours, each in a swatch that opens the colour
// dialog when clicked. The commands that paint take the foreground colour from here.
class CColorBar : public CFwWnd {
public:
    bool CreateBar(HWND parent);
    int Height() const { return m_height; }
    void ShowReadout(const LvReadout& readout, RGBQUAD color);
    // The text of a read-out field (IDC_READ_R .. IDC_READ_Y).
    std::string FieldText(int id) const;
    RGBQUAD Swatch() const { return m_swatch; }
    RGBQUAD Foreground() const { return m_foreground; }
    RGBQUAD Background() const { return m_background; }
    void SetForeground(RGBQUAD color);
    void SetBackground(RGBQUAD color);
    // Lets the user choose the foreground (or background) colour in the colour dialog; true when chosen.
    bool AskColor(bool foreground);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Layout();
    void DrawSwatch(const DRAWITEMSTRUCT& item);

    int m_height = 0;
    RGBQUAD m_swatch = {0, 0, 0, 0};
    RGBQUAD m_foreground = {0, 0, 0, 0};
    RGBQUAD m_background = {255, 255, 255, 0};
    HWND m_tips = nullptr;
};

COLORREF LvColorRef(RGBQUAD color);
RGBQUAD LvQuadOf(COLORREF color);

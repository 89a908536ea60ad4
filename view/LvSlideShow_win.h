#pragma once

#include "framework/FwDialog_win.h"

// The slide show dialog: the delay in milliseconds in a box and on a slider tied to it, the order and
// whether the show repeats.
class CSlideShowDlg : public CFwDialog {
public:
    CSlideShowDlg(int delay, int order, bool repeat);
    int Delay() const { return m_delay; }
    int Order() const { return m_order; }
    bool Repeat() const { return m_repeat; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnOK() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int m_delay;
    int m_order;
    bool m_repeat;
    bool m_filling = false;
};

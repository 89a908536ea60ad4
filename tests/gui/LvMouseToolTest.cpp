#include "LvGuiTestUtil.h"

#include "app/LvWindowSettings.h"
#include "image/LvScopedWin.h"

#include <commctrl.h>

#include <cmath>

namespace {

// The mouse tools driven by real input: SendInput puts the pointer on the screen and presses its buttons,
// the messages go through the queue to the window under the pointer (or the one that captured it).
class MouseToolTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SetForegroundWindow(FrameHwnd());
    }

    // Opens a picture in Fit Size at zoom 1, its child window sized to show it whole.
    CLvDoc* OpenPicture(int width, int height, int bpp = 24) {
        CLvDoc* doc = Open(MakePicture(m_dir, "p" + std::to_string(++m_count) + ".bmp", width, height, bpp, LVFMT_BMP));
        if (!doc) return nullptr;
        SetForegroundWindow(FrameHwnd());
        SetFocus(View()->GetHwnd());
        Repaint();
        return doc;
    }
    CLvView* View() const { return ActiveView(); }
    void Repaint() {
        RedrawWindow(View()->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        m_app->PumpWaitingMessages();
    }
    void SetClient(int width, int height) {
        HWND frame = View()->ParentFrame();
        RECT want = {0, 0, width, height};
        AdjustWindowRectEx(&want, DWORD(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongW(frame, GWL_EXSTYLE)));
        SetWindowPos(frame, nullptr, 0, 0, want.right - want.left, want.bottom - want.top, SWP_NOMOVE | SWP_NOZORDER);
        Repaint();
    }
    // The client point where an image pixel (column, top-down row) is drawn, at its centre.
    POINT At(int x, int y) const {
        LvPoint p = View()->ImageToWindow(x, y);
        return {p.x, p.y};
    }
    void Send(POINT client, DWORD flags, DWORD data = 0) {
        POINT screen = client;
        ClientToScreen(View()->GetHwnd(), &screen);
        const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        INPUT in = {};
        in.type = INPUT_MOUSE;
        // The middle of the screen pixel, so that rounding either way lands on it.
        in.mi.dx = LONG((2LL * screen.x + 1) * 65536 / (2LL * w));
        in.mi.dy = LONG((2LL * screen.y + 1) * 65536 / (2LL * h));
        in.mi.mouseData = data;
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
        ASSERT_EQ(SendInput(1, &in, sizeof(in)), 1u);
        m_app->PumpWaitingMessages();
    }
    void MoveTo(POINT p) { Send(p, 0); }
    void Click(POINT p, bool right = false) {
        MoveTo(p);
        Send(p, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        Send(p, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    // Presses at from, moves in steps to to and lets go there.
    void Drag(POINT from, POINT to, int steps = 8) {
        MoveTo(from);
        Send(from, MOUSEEVENTF_LEFTDOWN);
        for (int i = 1; i <= steps; i++)
            MoveTo({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        Send(to, MOUSEEVENTF_LEFTUP);
    }
    void Key(WORD vk, bool control = false) {
        std::vector<INPUT> in;
        auto push = [&](WORD key, bool up) {
            INPUT i = {};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = key;
            i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            in.push_back(i);
        };
        if (control) push(VK_CONTROL, false);
        push(vk, false);
        push(vk, true);
        if (control) push(VK_CONTROL, true);
        ASSERT_EQ(SendInput(UINT(in.size()), in.data(), sizeof(INPUT)), UINT(in.size()));
        m_app->PumpWaitingMessages();
    }
    void Wheel(POINT p, int notches, bool control = false) {
        if (control) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = VK_CONTROL;
            SendInput(1, &in, sizeof(in));
        }
        Send(p, MOUSEEVENTF_WHEEL, DWORD(notches * WHEEL_DELTA));
        if (control) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = VK_CONTROL;
            in.ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(1, &in, sizeof(in));
            m_app->PumpWaitingMessages();
        }
    }
    // The selection mask as 0/1 per pixel, bottom-up rows.
    static std::vector<int> Mask(const CLvImage& image) {
        std::vector<int> mask;
        for (int y = 0; y < image.GetHeight(); y++)
            for (int x = 0; x < image.GetWidth(); x++)
                mask.push_back(image.SelectionIsInside(x, y) ? 1 : 0);
        return mask;
    }
    static int Count(const std::vector<int>& mask) {
        int n = 0;
        for (int v : mask)
            n += v;
        return n;
    }
    std::string Field(int id) { return Frame()->ColorBar().FieldText(id); }

    int m_count = 0;
};

TEST_F(MouseToolTest, RectangleDraggedInEveryDirectionGivesOneSelectionAndAClickClearsIt) {
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    Command(ID_MOUSE_RECT_SELECTION);
    EXPECT_EQ(doc->m_toolMode, kLvToolRectSelection);
    EXPECT_TRUE(MenuItem(ID_MOUSE_RECT_SELECTION).checked);
    EXPECT_FALSE(MenuItem(ID_SELECTION_INVERSE).enabled);
    // Corners of the band: the pixel edges of columns 10..29 and top-down rows 5..24.
    const POINT a = At(10, 5), b = At(30, 25), c = At(30, 5), d = At(10, 25);
    const std::pair<POINT, POINT> drags[] = {{a, b}, {b, a}, {c, d}, {d, c}};
    std::vector<int> first;
    for (const auto& drag : drags) {
        Drag(drag.first, drag.second);
        const CLvImage& image = *doc->m_image;
        ASSERT_NE(image.pSelection, nullptr);
        const std::vector<int> mask = Mask(image);
        EXPECT_EQ(Count(mask), 20 * 20);
        EXPECT_TRUE(image.SelectionIsInside(10, 40 - 1 - 5));
        EXPECT_TRUE(image.SelectionIsInside(29, 40 - 1 - 24));
        EXPECT_FALSE(image.SelectionIsInside(30, 40 - 1 - 24));
        EXPECT_FALSE(image.SelectionIsInside(9, 40 - 1 - 5));
        const RECT box = image.info.rcSelection;
        EXPECT_EQ(box.left, 10);
        EXPECT_EQ(box.right, 30);
        EXPECT_EQ(box.bottom, 40 - 25);
        EXPECT_EQ(box.top, 40 - 5);
        EXPECT_FALSE(doc->m_selPoints.empty());
        EXPECT_TRUE(MenuItem(ID_SELECTION_INVERSE).enabled);
        if (first.empty())
            first = mask;
        else
            EXPECT_EQ(mask, first);
        // The second click only clears.
        Click(At(40, 30));
        EXPECT_EQ(doc->m_image->pSelection, nullptr);
        EXPECT_TRUE(doc->m_selPoints.empty());
    }
    // A band beside the picture, and a click without a drag, select nothing.
    SetClient(200, 100);
    const POINT left = At(0, 0);
    Drag({left.x - 30, left.y + 5}, {left.x - 5, left.y + 30});
    EXPECT_EQ(doc->m_image->pSelection, nullptr);
    Click(At(20, 20));
    EXPECT_EQ(doc->m_image->pSelection, nullptr);
    // A band that reaches past the picture stops at its edge.
    Drag(At(50, 30), {left.x + 200 - 1, left.y + 100 - 1});
    ASSERT_NE(doc->m_image->pSelection, nullptr);
    EXPECT_EQ(Count(Mask(*doc->m_image)), 10 * 10);
    for (const LvPoint& p : doc->m_selPoints) {
        EXPECT_GE(p.x, 50);
        EXPECT_LT(p.x, 60);
        EXPECT_LT(p.y, 40);
    }
    // Inverse selects the rest.
    Command(ID_SELECTION_INVERSE);
    EXPECT_EQ(Count(Mask(*doc->m_image)), 60 * 40 - 10 * 10);
}

} // namespace

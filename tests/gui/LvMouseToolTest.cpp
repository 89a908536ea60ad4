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

TEST_F(MouseToolTest, EllipseSelectionFromTheBand) {
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    Command(ID_MOUSE_ELLIPSE_SELECTION);
    Drag(At(50, 35), At(10, 5)); // from the lower right
    const CLvImage& image = *doc->m_image;
    ASSERT_NE(image.pSelection, nullptr);
    EXPECT_TRUE(image.SelectionIsInside(30, 40 - 1 - 20));  // the centre
    EXPECT_FALSE(image.SelectionIsInside(11, 40 - 1 - 6));  // a corner of the box
    EXPECT_FALSE(image.SelectionIsInside(48, 40 - 1 - 33)); // the other one
    EXPECT_TRUE(image.SelectionIsInside(11, 40 - 1 - 20));  // the left end of the long axis
    EXPECT_FALSE(doc->m_selPoints.empty());
    // The same band the other way round selects the same.
    const std::vector<int> mask = Mask(image);
    Click(At(30, 20));
    EXPECT_EQ(doc->m_image->pSelection, nullptr);
    Drag(At(10, 5), At(50, 35));
    ASSERT_NE(doc->m_image->pSelection, nullptr);
    EXPECT_EQ(Mask(*doc->m_image), mask);
}

TEST_F(MouseToolTest, FreehandSelectionAndItsPointLimit) {
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    Command(ID_MOUSE_SELECT);
    EXPECT_TRUE(MenuItem(ID_MOUSE_SELECT).checked);
    EXPECT_FALSE(MenuItem(ID_MOUSE_MOVE).checked);
    // A triangle with its right angle at the lower left.
    MoveTo(At(5, 5));
    Send(At(5, 5), MOUSEEVENTF_LEFTDOWN);
    for (int y = 6; y <= 35; y += 3)
        MoveTo(At(5, y));
    for (int x = 8; x <= 55; x += 3)
        MoveTo(At(x, 35));
    Send(At(55, 35), MOUSEEVENTF_LEFTUP);
    const CLvImage& image = *doc->m_image;
    ASSERT_NE(image.pSelection, nullptr);
    EXPECT_TRUE(image.SelectionIsInside(10, 40 - 1 - 30));
    EXPECT_FALSE(image.SelectionIsInside(50, 40 - 1 - 10));
    // The outline is closed: its last point is its first.
    ASSERT_GE(doc->m_selPoints.size(), 4u);
    EXPECT_EQ(doc->m_selPoints.back().x, doc->m_selPoints.front().x);
    EXPECT_EQ(doc->m_selPoints.back().y, doc->m_selPoints.front().y);

    // A click is no selection; its press removed the old one.
    Click(At(20, 5));
    EXPECT_EQ(doc->m_image->pSelection, nullptr);

    // A long drag: the outline stops growing at 7,998 points and the last point follows the pointer. The
    // thousands of moves go to the view as the messages the queue would bring, which is quicker.
    MoveTo(At(1, 1));
    Send(At(1, 1), MOUSEEVENTF_LEFTDOWN);
    const HWND view = View()->GetHwnd();
    for (int i = 0; i < 8100; i++) {
        const POINT p = At(10, 10);
        SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }
    EXPECT_EQ(doc->m_selPoints.size(), 7998u);
    MoveTo(At(57, 37));
    EXPECT_EQ(doc->m_selPoints.size(), 7998u);
    EXPECT_EQ(doc->m_selPoints.back().x, 57);
    EXPECT_EQ(doc->m_selPoints.back().y, 37);
    Send(At(57, 37), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(doc->m_selPoints.size(), 7999u);
    EXPECT_NE(doc->m_image->pSelection, nullptr);
}

TEST_F(MouseToolTest, ReadOutFollowsThePointerAndPickColorFeedsRegionFill) {
    CLvImage picture(40, 30, 24);
    RGBQUAD grey = {128, 128, 128, 0};
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            picture.SetPixelColor(x, y, grey);
    RGBQUAD odd = {31, 20, 10, 0}; // red 10, green 20, blue 31
    picture.SetPixelColor(12, 30 - 1 - 7, odd);
    const std::string path = m_dir.Path("odd.bmp");
    ASSERT_TRUE(picture.Encode(path.c_str(), LVFMT_BMP));
    CLvDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    SetFocus(View()->GetHwnd());
    SetClient(100, 80);

    MoveTo(At(12, 7));
    EXPECT_EQ(Field(IDC_READ_R), "10");
    EXPECT_EQ(Field(IDC_READ_G), "20");
    EXPECT_EQ(Field(IDC_READ_B), "31");
    EXPECT_EQ(Field(IDC_READ_I), "20");
    EXPECT_EQ(Field(IDC_READ_X), "12");
    EXPECT_EQ(Field(IDC_READ_Y), "7");
    EXPECT_EQ(Frame()->ColorBar().Swatch().rgbBlue, 31);
    MoveTo(At(3, 4));
    EXPECT_EQ(Field(IDC_READ_R), "128");
    EXPECT_EQ(Field(IDC_READ_X), "3");
    EXPECT_EQ(Field(IDC_READ_Y), "4");
    // Outside the picture the fields keep their values.
    const POINT corner = At(0, 0);
    MoveTo({corner.x - 5, corner.y - 5});
    EXPECT_EQ(Field(IDC_READ_X), "3");

    // Pick Color: a click outside changes nothing, one on the pixel makes it the foreground colour.
    Command(ID_MOUSE_PICK_COLOR);
    EXPECT_TRUE(MenuItem(ID_MOUSE_PICK_COLOR).checked);
    const RGBQUAD before = Frame()->Foreground();
    Click({corner.x - 5, corner.y - 5});
    EXPECT_EQ(Frame()->Foreground().rgbRed, before.rgbRed);
    EXPECT_EQ(Frame()->Foreground().rgbBlue, before.rgbBlue);
    Click(At(12, 7));
    EXPECT_EQ(Frame()->Foreground().rgbRed, 10);
    EXPECT_EQ(Frame()->Foreground().rgbGreen, 20);
    EXPECT_EQ(Frame()->Foreground().rgbBlue, 31);

    // Region Fill paints a dragged rectangle with it.
    Command(ID_MOUSE_RECT_SELECTION);
    Drag(At(20, 10), At(30, 20));
    Command(ID_TRANS_REGION_FILL);
    WaitIdle(doc);
    const RGBQUAD inside = doc->m_image->GetPixelColor(25, 30 - 1 - 15);
    EXPECT_EQ(inside.rgbRed, 10);
    EXPECT_EQ(inside.rgbGreen, 20);
    EXPECT_EQ(inside.rgbBlue, 31);
    EXPECT_EQ(doc->m_image->GetPixelColor(5, 30 - 1 - 5).rgbRed, 128);

    // While a command changes a picture, the read-out over it stands still.
    CLvDoc* big = OpenPicture(2000, 1500);
    ASSERT_NE(big, nullptr);
    const HWND view = View()->GetHwnd();
    SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    const std::string x = Field(IDC_READ_X);
    Command(ID_FILTER_GAUSS_SMOOTH);
    ASSERT_TRUE(big->IsBusy());
    SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(9, 5));
    ASSERT_TRUE(big->IsBusy()); // the move came while it ran
    EXPECT_EQ(Field(IDC_READ_X), x);
    WaitIdle(big);
    SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(9, 5));
    EXPECT_NE(Field(IDC_READ_X), x);
}

TEST_F(MouseToolTest, ZoomToolButtonsAndZoomAboutThePointer) {
    CLvDoc* doc = OpenPicture(200, 150);
    ASSERT_NE(doc, nullptr);
    SetClient(150, 100);
    Command(ID_MOUSE_ZOOM);
    Click(At(100, 75));
    EXPECT_NEAR(doc->m_zoom, 1.2f, 1e-5);
    Click(At(100, 75));
    EXPECT_NEAR(doc->m_zoom, 1.44f, 1e-4);
    const POINT p = At(60, 40);
    Click(p, true); // the right button zooms out, with no context menu in this tool
    EXPECT_NEAR(doc->m_zoom, 1.2f, 1e-4);
    Click(p, true);
    EXPECT_NEAR(doc->m_zoom, 1.0f, 1e-4);
    // The Zoom tool follows the zoom commands' rule: nothing in Fit Image.
    Command(ID_VIEW_FIT_IMAGE);
    const float zoom = doc->m_zoom;
    Click(At(10, 10));
    EXPECT_FLOAT_EQ(doc->m_zoom, zoom);
}

// In a maximised window, so that the picture stays larger than the window while it grows.
TEST_F(MouseToolTest, ZoomKeepsThePixelUnderThePointer) {
    CLvDoc* doc = OpenPicture(1600, 1200);
    ASSERT_NE(doc, nullptr);
    SendMessageW(Frame()->MdiClient(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(View()->ParentFrame()), 0);
    Repaint();
    View()->ScrollToPosition({300, 200});
    Repaint();
    const POINT p = {120, 90};
    const LvPoint before = View()->WindowToImage(p.x, p.y);
    Command(ID_MOUSE_ZOOM);
    Click(p);
    EXPECT_NEAR(doc->m_zoom, 1.2f, 1e-5);
    LvPoint now = View()->WindowToImage(p.x, p.y);
    EXPECT_NEAR(now.x, before.x, 1);
    EXPECT_NEAR(now.y, before.y, 1);
    EXPECT_GT(View()->GetScrollPosition().x, 300);
    // Ctrl+wheel, in and out, under the Move tool.
    Command(ID_MOUSE_MOVE);
    Wheel(p, 1, true);
    EXPECT_NEAR(doc->m_zoom, 1.44f, 1e-4);
    now = View()->WindowToImage(p.x, p.y);
    EXPECT_NEAR(now.x, before.x, 1);
    EXPECT_NEAR(now.y, before.y, 1);
    Wheel(p, -2, true);
    EXPECT_NEAR(doc->m_zoom, 1.0f, 1e-4);
    now = View()->WindowToImage(p.x, p.y);
    EXPECT_NEAR(now.x, before.x, 2);
    EXPECT_NEAR(now.y, before.y, 2);
}

TEST_F(MouseToolTest, MoveDragWheelAndArrowKeysScroll) {
    CLvDoc* doc = OpenPicture(400, 300);
    ASSERT_NE(doc, nullptr);
    SetClient(200, 150);
    CLvView* view = View();
    ASSERT_GT(view->GetTotalSize().cx, 150);
    EXPECT_EQ(doc->m_toolMode, kLvToolMove);
    // Dragging left and up moves the picture with the pointer: the view scrolls right and down.
    Drag({120, 100}, {70, 60});
    EXPECT_EQ(view->GetScrollPosition().x, 50);
    EXPECT_EQ(view->GetScrollPosition().y, 40);
    Drag({70, 60}, {100, 70});
    EXPECT_EQ(view->GetScrollPosition().x, 20);
    EXPECT_EQ(view->GetScrollPosition().y, 30);

    // The wheel scrolls 48 pixels a notch, Shift+wheel sideways.
    Wheel({50, 50}, -1);
    EXPECT_EQ(view->GetScrollPosition().y, 78);
    Wheel({50, 50}, 1);
    EXPECT_EQ(view->GetScrollPosition().y, 30);

    // Arrow keys scroll a line.
    Key(VK_RIGHT);
    EXPECT_EQ(view->GetScrollPosition().x, 36);
    Key(VK_DOWN);
    EXPECT_EQ(view->GetScrollPosition().y, 46);
    Key(VK_LEFT);
    Key(VK_UP);
    EXPECT_EQ(view->GetScrollPosition().x, 20);
    EXPECT_EQ(view->GetScrollPosition().y, 30);
}

TEST_F(MouseToolTest, ColourBarSwatchesOpenTheColourDialog) {
    CColorBar& bar = Frame()->ColorBar();
    ASSERT_TRUE(IsWindowVisible(bar.GetHwnd()));
    for (int id : {IDC_READ_R, IDC_READ_G, IDC_READ_B, IDC_READ_I, IDC_READ_X, IDC_READ_Y, IDC_READ_SWATCH})
        EXPECT_NE(GetDlgItem(bar.GetHwnd(), id), nullptr) << id;
    const struct {
        int button;
        BYTE r, g, b;
    } cases[] = {{IDC_FOREGROUND, 200, 100, 50}, {IDC_BACKGROUND, 5, 6, 7}};
    for (const auto& c : cases) {
        DialogAnswers answers;
        answers.Expect("Color", [&c](HWND dialog) {
            // The full dialog's red, green and blue fields.
            SetDlgItemInt(dialog, 706, c.r, FALSE);
            SetDlgItemInt(dialog, 707, c.g, FALSE);
            SetDlgItemInt(dialog, 708, c.b, FALSE);
            DialogAnswers::Press(dialog, IDOK);
        });
        HWND button = GetDlgItem(bar.GetHwnd(), c.button);
        ASSERT_NE(button, nullptr);
        SendMessageW(button, BM_CLICK, 0, 0);
        EXPECT_TRUE(answers.AllAnswered());
        const RGBQUAD got = c.button == IDC_FOREGROUND ? bar.Foreground() : bar.Background();
        EXPECT_EQ(got.rgbRed, c.r);
        EXPECT_EQ(got.rgbGreen, c.g);
        EXPECT_EQ(got.rgbBlue, c.b);
    }
    EXPECT_EQ(Frame()->Foreground().rgbRed, 200);
    // Cancelling keeps the colour.
    DialogAnswers cancel;
    cancel.Expect("Color", DialogAnswers::PressButton(IDCANCEL));
    SendMessageW(GetDlgItem(bar.GetHwnd(), IDC_FOREGROUND), BM_CLICK, 0, 0);
    EXPECT_EQ(Frame()->Foreground().rgbRed, 200);
}

TEST_F(MouseToolTest, ToolBarFollowsTheCommandRulesAndNamesItsButtons) {
    CLvToolBar& bar = Frame()->ToolBar();
    ASSERT_NE(bar.GetHwnd(), nullptr);
    m_app->OnIdle(0);
    EXPECT_TRUE(bar.IsEnabled(ID_FILE_OPEN));
    EXPECT_FALSE(bar.IsEnabled(ID_FILE_SAVE));
    EXPECT_FALSE(bar.IsEnabled(ID_MOUSE_RECT_SELECTION));
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    m_app->OnIdle(0);
    EXPECT_TRUE(bar.IsChecked(ID_MOUSE_MOVE));
    EXPECT_TRUE(bar.IsChecked(ID_VIEW_FIT_SIZE));
    EXPECT_FALSE(bar.IsEnabled(ID_EDIT_UNDO));
    EXPECT_TRUE(bar.IsEnabled(ID_MOUSE_RECT_SELECTION));
    EXPECT_TRUE(bar.IsEnabled(ID_VIEW_ZOOM_IN));
    // A button is the command.
    SendMessageW(FrameHwnd(), WM_COMMAND, ID_MOUSE_ELLIPSE_SELECTION, reinterpret_cast<LPARAM>(bar.GetHwnd()));
    EXPECT_EQ(doc->m_toolMode, kLvToolEllipseSelection);
    EXPECT_TRUE(bar.IsChecked(ID_MOUSE_ELLIPSE_SELECTION));
    EXPECT_FALSE(bar.IsChecked(ID_MOUSE_MOVE));
    SendMessageW(FrameHwnd(), WM_COMMAND, ID_VIEW_FIT_IMAGE, reinterpret_cast<LPARAM>(bar.GetHwnd()));
    EXPECT_EQ(doc->m_fitMode, kLvFitImage);
    EXPECT_FALSE(bar.IsEnabled(ID_VIEW_ZOOM_IN));
    SendMessageW(FrameHwnd(), WM_COMMAND, ID_TRANS_MIRROR, 0);
    WaitIdle(doc);
    m_app->OnIdle(0);
    EXPECT_TRUE(bar.IsEnabled(ID_EDIT_UNDO));
    // Tooltips are the menu's texts.
    const struct {
        int id;
        const char* text;
    } tips[] = {{ID_FILE_OPEN, "Open..."},
                {ID_VIEW_ZOOM_IN, "Zoom In"},
                {ID_MOUSE_RECT_SELECTION, "Rect Selection"},
                {ID_MOUSE_PICK_COLOR, "Pick Color"},
                {ID_EDIT_PASTE, "Paste"}};
    for (const auto& t : tips) {
        NMTTDISPINFOW info = {};
        info.hdr.code = TTN_GETDISPINFOW;
        info.hdr.idFrom = UINT_PTR(t.id);
        SendMessageW(FrameHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_NE(info.lpszText, nullptr);
        EXPECT_EQ(LvWideToUtf8(info.lpszText), t.text);
    }
    // The bars come and go from the View menu; the picture's area follows.
    RECT withBars;
    GetWindowRect(Frame()->MdiClient(), &withBars);
    Command(ID_VIEW_TOOL_BAR);
    Command(ID_VIEW_COLOR_BAR);
    EXPECT_FALSE(IsWindowVisible(bar.GetHwnd()));
    EXPECT_FALSE(MenuItem(ID_VIEW_COLOR_BAR).checked);
    RECT without;
    GetWindowRect(Frame()->MdiClient(), &without);
    EXPECT_LT(without.top, withBars.top);
    Command(ID_VIEW_TOOL_BAR);
    EXPECT_TRUE(MenuItem(ID_VIEW_TOOL_BAR).checked);
}

// The context menu lists its twelve commands and sends the chosen one to the main window.
TEST_F(MouseToolTest, ContextMenuOfThePicture) {
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    static std::vector<std::string> items;
    static std::vector<bool> enabled;
    items.clear();
    enabled.clear();
    // When the menu is up: read its items and choose Mirror.
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (!menu) return;
        KillTimer(nullptr, timer);
        HMENU popup = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        int mirror = -1;
        for (int i = 0; i < GetMenuItemCount(popup); i++) {
            wchar_t text[64] = {};
            GetMenuStringW(popup, UINT(i), text, 63, MF_BYPOSITION);
            items.push_back(LvWideToUtf8(text));
            enabled.push_back(!(GetMenuState(popup, UINT(i), MF_BYPOSITION) & MF_GRAYED));
            if (GetMenuItemID(popup, i) == ID_TRANS_MIRROR) mirror = i;
        }
        PostMessageW(menu, WM_KEYDOWN, VK_HOME, 0);
        for (int i = 0; i < mirror; i++)
            PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    const RGBQUAD corner = doc->m_image->GetPixelColor(0, 0);
    POINT at = At(20, 20);
    ClientToScreen(View()->GetHwnd(), &at);
    SendMessageW(View()->GetHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(View()->GetHwnd()),
                 MAKELPARAM(at.x, at.y));
    m_app->PumpWaitingMessages();
    WaitIdle(doc);
    const std::vector<std::string> want = {"Undo", "Redo",     "Copy",        "Paste",        "Gray Scale", "Mirror",
                                           "Flip", "Negative", "Rotate Left", "Rotate Right", "Rotate...",  "Crop"};
    ASSERT_EQ(items.size(), want.size());
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_EQ(items[i].substr(0, want[i].size()),
                  want[i].substr(0, want[i].size() - (want[i].back() == '.' ? 3 : 0)))
            << i;
    EXPECT_FALSE(enabled[0]);  // nothing to undo
    EXPECT_TRUE(enabled[5]);   // Mirror
    EXPECT_FALSE(enabled[11]); // Crop needs a selection
    // Mirror ran: the first column is now the last.
    const RGBQUAD moved = doc->m_image->GetPixelColor(59, 0);
    EXPECT_EQ(moved.rgbRed, corner.rgbRed);
    EXPECT_EQ(moved.rgbGreen, corner.rgbGreen);
    EXPECT_EQ(moved.rgbBlue, corner.rgbBlue);
}

// The window's place, size and maximised state, the fit mode and the bars come back on the next start.
TEST_F(MouseToolTest, TheMainWindowRemembersItself) {
    ShowWindow(FrameHwnd(), SW_RESTORE);
    SetWindowPos(FrameHwnd(), nullptr, 30, 40, 700, 500, SWP_NOZORDER);
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    Command(ID_VIEW_FIT_WIDTH);
    Command(ID_VIEW_COLOR_BAR);
    Frame()->ColorBar().SetForeground({3, 2, 1, 0});
    SendMessageW(FrameHwnd(), WM_CLOSE, 0, 0);
    m_app->PumpWaitingMessages();
    const LvWindowState stored = LvReadWindowState(m_app->Settings());
    EXPECT_TRUE(stored.placed);
    EXPECT_EQ(stored.left, 30);
    EXPECT_EQ(stored.top, 40);
    EXPECT_EQ(stored.right, 730);
    EXPECT_EQ(stored.bottom, 540);
    EXPECT_FALSE(stored.maximized);
    EXPECT_EQ(stored.fitMode, kLvFitWidth);
    EXPECT_TRUE(stored.toolBar);
    EXPECT_FALSE(stored.colorBar);
    EXPECT_EQ(stored.foreground, 0x030201u);

    // The next start.
    TearDown();
    StartProgram();
    RECT rc;
    GetWindowRect(FrameHwnd(), &rc);
    EXPECT_FALSE(IsZoomed(FrameHwnd()));
    EXPECT_EQ(rc.left, 30);
    EXPECT_EQ(rc.right, 730);
    EXPECT_FALSE(IsWindowVisible(Frame()->ColorBar().GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(Frame()->ToolBar().GetHwnd()));
    EXPECT_EQ(Frame()->Foreground().rgbRed, 1);
    CLvDoc* next = OpenPicture(60, 40);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->m_fitMode, kLvFitWidth);

    // Leave the next tests a maximised window with both bars, as on a first start.
    LvWindowState fresh;
    LvWriteWindowState(m_app->Settings(), fresh);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmarsh\\Lumivue\\Main Window", L"Left");
    EXPECT_FALSE(LvReadWindowState(m_app->Settings()).placed);
}

// Each tool shows its own cursor over the view.
TEST_F(MouseToolTest, EveryToolHasItsCursor) {
    CLvDoc* doc = OpenPicture(60, 40);
    ASSERT_NE(doc, nullptr);
    const struct {
        int command, cursor;
    } cases[] = {{ID_MOUSE_MOVE, IDR_CURSOR_MOVE},
                 {ID_MOUSE_SELECT, IDR_CURSOR_SELECT},
                 {ID_MOUSE_ZOOM, IDR_CURSOR_ZOOM},
                 {ID_MOUSE_RECT_SELECTION, IDR_CURSOR_SELECT},
                 {ID_MOUSE_ELLIPSE_SELECTION, IDR_CURSOR_SELECT},
                 {ID_MOUSE_PICK_COLOR, IDR_CURSOR_PICK}};
    const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    for (const auto& c : cases) {
        Command(c.command);
        SetCursor(arrow);
        const HWND view = View()->GetHwnd();
        EXPECT_TRUE(
            SendMessageW(view, WM_SETCURSOR, reinterpret_cast<WPARAM>(view), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        const HCURSOR want = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.cursor));
        ASSERT_NE(want, nullptr) << c.cursor;
        EXPECT_EQ(GetCursor(), want) << c.command;
    }
    // Dragging with Move shows the closed hand.
    ASSERT_NE(OpenPicture(400, 300), nullptr);
    SetClient(200, 150);
    MoveTo({100, 80});
    Send({100, 80}, MOUSEEVENTF_LEFTDOWN);
    MoveTo({80, 60});
    EXPECT_EQ(GetCursor(), LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_CURSOR_MOVE_DRAG)));
    Send({80, 60}, MOUSEEVENTF_LEFTUP);
}

} // namespace

#include "LvGuiTestUtil.h"

#include "app/LvDocRules.h"

#include <cmath>

namespace {

class ViewTest : public GuiTest {
protected:
    // Sets the child window's client size and repaints.
    void SetClient(CLvDoc* doc, int width, int height) {
        HWND frame = dynamic_cast<CLvView*>(doc->FirstView())->ParentFrame();
        RECT want = {0, 0, width, height};
        AdjustWindowRectEx(&want, DWORD(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongW(frame, GWL_EXSTYLE)));
        SetWindowPos(frame, nullptr, 0, 0, want.right - want.left, want.bottom - want.top, SWP_NOMOVE | SWP_NOZORDER);
        Repaint(doc);
    }
    void Repaint(CLvDoc* doc) {
        HWND view = dynamic_cast<CLvView*>(doc->FirstView())->GetHwnd();
        RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        m_app->PumpWaitingMessages();
    }
};

TEST_F(ViewTest, PictureIsDrawnCentredOnBlackAtItsSize) {
    CLvDoc* doc = Open(MakePicture(m_dir, "p.bmp", 120, 80, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    SetClient(doc, 300, 200); // room around the picture: the view fills the child's client area
    CLvView* view = ActiveView();
    const LvLayout& l = view->Layout();
    EXPECT_EQ(l.drawX, 90);
    EXPECT_EQ(l.drawY, 60);
    int w = 0, h = 0;
    std::vector<RGBQUAD> px = ScreenPixels(view->GetHwnd(), w, h);
    ASSERT_EQ(w, 300);
    ASSERT_EQ(h, 200);
    const CLvImage& image = *doc->m_image;
    int wrong = 0;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const RGBQUAD got = px[size_t(y) * size_t(w) + size_t(x)];
            RGBQUAD want = {0, 0, 0, 0};
            if (x >= 90 && x < 210 && y >= 60 && y < 140) want = image.GetPixelColor(x - 90, 80 - 1 - (y - 60));
            if (got.rgbRed != want.rgbRed || got.rgbGreen != want.rgbGreen || got.rgbBlue != want.rgbBlue) wrong++;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(ViewTest, FitModesZoomAndTheStatusReadOut) {
    CLvDoc* doc = Open(MakePicture(m_dir, "wide.bmp", 400, 200, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    CLvView* view = ActiveView();
    Command(ID_VIEW_FIT_IMAGE);
    EXPECT_TRUE(MenuItem(ID_VIEW_FIT_IMAGE).checked);
    EXPECT_FALSE(MenuItem(ID_VIEW_FIT_SIZE).checked);
    SetClient(doc, 300, 300);
    EXPECT_EQ(view->Layout().drawX, 0);
    EXPECT_EQ(view->Layout().drawY, 75);
    EXPECT_EQ(view->Layout().drawW, 300);
    EXPECT_EQ(view->Layout().drawH, 150);
    EXPECT_FLOAT_EQ(doc->m_fitFactor, 0.75f);
    EXPECT_EQ(Frame()->PaneText(4), "75 %");
    EXPECT_FALSE(MenuItem(ID_VIEW_ZOOM_IN).enabled); // zoom steps belong to Fit Size
    // "=" in Fit Image: zoom 1, the mode stays.
    doc->m_zoom = 2.0f;
    SendMessageW(view->GetHwnd(), WM_CHAR, '=', 0);
    EXPECT_FLOAT_EQ(doc->m_zoom, 1.0f);
    EXPECT_EQ(doc->m_fitMode, kLvFitImage);

    // Fit Width in a low client: taller than the client, so it scrolls (the bar takes its width).
    Command(ID_VIEW_FIT_WIDTH);
    SetClient(doc, 300, 100);
    const int width = FwClientRect(view->GetHwnd()).right;
    EXPECT_EQ(view->Layout().drawW, width);
    EXPECT_EQ(view->Layout().drawH, width / 2);
    EXPECT_EQ(view->Layout().drawY, 0);
    EXPECT_EQ(view->GetTotalSize().cy, width / 2);

    Command(ID_VIEW_FIT_SCREEN);
    EXPECT_FALSE(MenuItem(ID_VIEW_NORMAL).enabled);
    SetClient(doc, 250, 120);
    EXPECT_EQ(view->Layout().drawW, 250);
    EXPECT_EQ(view->Layout().drawH, 120);

    // Fit Size with zoom steps; the child follows the picture until it meets the client area's edge.
    SendMessageW(view->GetHwnd(), WM_CHAR, '*', 0);
    EXPECT_EQ(doc->m_fitMode, kLvFitSize);
    EXPECT_FALSE(MenuItem(ID_VIEW_NORMAL).enabled);
    SetWindowPos(view->ParentFrame(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Command(ID_VIEW_ZOOM_OUT);
    EXPECT_NEAR(doc->m_zoom, 0.8333333f, 1e-6);
    SIZE small = ChildClientSize(doc);
    EXPECT_EQ(small.cx, LvZoomed(doc->m_zoom, 400) + 4);
    EXPECT_EQ(small.cy, LvZoomed(doc->m_zoom, 200) + 4);
    EXPECT_TRUE(MenuItem(ID_VIEW_NORMAL).enabled);
    Command(ID_VIEW_NORMAL);
    for (int i = 0; i < 8; i++)
        Command(ID_VIEW_ZOOM_IN);
    EXPECT_NEAR(doc->m_zoom, 4.2998f, 1e-3);
    RECT client = FwClientRect(Frame()->MdiClient());
    SIZE big = ChildClientSize(doc);
    EXPECT_EQ(big.cx, client.right - 12 + 4);
    Repaint(doc);
    EXPECT_EQ(Frame()->PaneText(4), "429 %");
    // A maximised child keeps its size.
    SendMessageW(Frame()->MdiClient(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(view->ParentFrame()), 0);
    RECT before, after;
    GetWindowRect(view->ParentFrame(), &before);
    Command(ID_VIEW_ZOOM_OUT);
    GetWindowRect(view->ParentFrame(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    SendMessageW(Frame()->MdiClient(), WM_MDIRESTORE, reinterpret_cast<WPARAM>(view->ParentFrame()), 0);

    // The zoom kept from Fit Size does not count in the other modes: the read-out is the drawing's scale.
    Command(ID_VIEW_FIT_IMAGE);
    SetClient(doc, 300, 300);
    EXPECT_GT(doc->m_zoom, 1.0f);
    EXPECT_FLOAT_EQ(doc->m_fitFactor, 0.75f);
    EXPECT_EQ(Frame()->PaneText(4), "75 %");
}

TEST_F(ViewTest, FullScreenHidesTheStatusBarAndComesBack) {
    CLvDoc* doc = Open(MakePicture(m_dir, "f.bmp", 50, 40, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    WINDOWPLACEMENT before = {};
    before.length = sizeof(before);
    GetWindowPlacement(FrameHwnd(), &before);
    Command(ID_VIEW_FULL_SCREEN);
    EXPECT_TRUE(Frame()->IsFullScreen());
    EXPECT_TRUE(MenuItem(ID_VIEW_FULL_SCREEN).checked);
    EXPECT_FALSE(IsWindowVisible(Frame()->StatusBar()));
    EXPECT_TRUE(IsZoomed(ActiveView()->ParentFrame()));
    RECT full;
    GetWindowRect(FrameHwnd(), &full);
    EXPECT_LE(full.left, -1);
    EXPECT_LE(full.top, -1);
    EXPECT_GE(full.right, GetSystemMetrics(SM_CXSCREEN) + 2);
    // Esc in the view leaves full screen.
    SendMessageW(ActiveView()->GetHwnd(), WM_CHAR, VK_ESCAPE, 0);
    m_app->PumpWaitingMessages();
    EXPECT_FALSE(Frame()->IsFullScreen());
    EXPECT_TRUE(IsWindowVisible(Frame()->StatusBar()));
    WINDOWPLACEMENT after = {};
    after.length = sizeof(after);
    GetWindowPlacement(FrameHwnd(), &after);
    EXPECT_EQ(after.showCmd, before.showCmd);
    EXPECT_TRUE(EqualRect(&before.rcNormalPosition, &after.rcNormalPosition));
}

} // namespace

namespace {

TEST_F(ViewTest, PrintsToAFile) {
    CLvDoc* doc = Open(MakePicture(m_dir, "print me.bmp", 64, 48, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    const std::string output = m_dir.Path("page.prn");
    DialogAnswers answers;
    answers.Expect("Print", [](HWND dialog) {
        CheckDlgButton(dialog, 0x410, BST_CHECKED); // "Print to file"
        DialogAnswers::Press(dialog, IDOK);
    });
    answers.Expect("Print to File", DialogAnswers::TypeFileName(output));
    Command(ID_FILE_PRINT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty()) << answers.Unexpected()[0];
    ASSERT_TRUE(FileExists(output));
    const Bytes bytes = ReadFileBytes(output);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_NE(text.find("%%Page: 1"), std::string::npos);
    EXPECT_NE(text.find("image"), std::string::npos); // the picture itself
}

} // namespace

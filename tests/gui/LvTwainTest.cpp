#include "LvGuiTestUtil.h"

#include "acquire/LvTwain_win.h"

#include <cstring>

namespace {

// Messages a source's window would send; the fake source manager turns them into its events.
const UINT kFakeXferReady = WM_APP + 77;
const UINT kFakeCloseRequest = WM_APP + 78;

// A source manager with one source, "Fake Scanner", and a chooser that picks "Chosen Scanner": it records
// every call and transfers three generated pictures once its transfer is ready.
struct FakeDsm {
    struct Call {
        TW_UINT32 dg;
        TW_UINT16 dat, msg;
        std::string dest;
    };
    std::vector<Call> calls;
    int pending = 0;
    TW_UINT16 xferCountType = 0;
    TW_UINT32 xferCount = 0;
    std::string appProduct, appManufacturer;
    TW_UINT16 appProtocolMinor = 0;
    TW_UINT32 appGroups = 0;
    HWND parent = nullptr;
    int transferred = 0;
};
FakeDsm* g_dsm = nullptr;

CLvImage ScannedPicture(int index) {
    CLvImage image(30 + index, 20, 24);
    FillPattern(image, unsigned(index + 9));
    return image;
}

TW_UINT16 LV_TWAIN_CALL FakeEntry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                  TW_MEMREF data) {
    FakeDsm& dsm = *g_dsm;
    if (dat == DAT_STATUS) return TWRC_SUCCESS;
    // The source a call is about: its destination, or for the identity calls the identity they carry.
    const TW_IDENTITY* about = dest ? dest : dat == DAT_IDENTITY ? static_cast<const TW_IDENTITY*>(data) : nullptr;
    dsm.calls.push_back({dg, dat, msg, about ? about->ProductName : ""});
    if (origin) {
        dsm.appProduct = origin->ProductName;
        dsm.appManufacturer = origin->Manufacturer;
        dsm.appProtocolMinor = origin->ProtocolMinor;
        dsm.appGroups = origin->SupportedGroups;
    }
    if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_OPENDSM) {
        dsm.parent = *static_cast<HWND*>(data);
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_IDENTITY) {
        TW_IDENTITY* id = static_cast<TW_IDENTITY*>(data);
        if (msg == MSG_GETDEFAULT) strcpy(id->ProductName, "Fake Scanner");
        if (msg == MSG_USERSELECT) strcpy(id->ProductName, "Chosen Scanner");
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_CAPABILITY && msg == MSG_SET) {
        TW_CAPABILITY* cap = static_cast<TW_CAPABILITY*>(data);
        if (TW_ONEVALUE* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap->hContainer))) {
            dsm.xferCountType = value->ItemType;
            dsm.xferCount = value->Item;
            GlobalUnlock(cap->hContainer);
        }
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_USERINTERFACE) {
        if (msg == MSG_ENABLEDS) dsm.pending = 3;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        TW_EVENT* event = static_cast<TW_EVENT*>(data);
        const MSG* m = static_cast<const MSG*>(event->pEvent);
        event->TWMessage = m->message == kFakeXferReady      ? MSG_XFERREADY
                           : m->message == kFakeCloseRequest ? MSG_CLOSEDSREQ
                                                             : MSG_NULL;
        return event->TWMessage != MSG_NULL ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
    }
    if (dg == DG_IMAGE && dat == DAT_IMAGEINFO) {
        TW_IMAGEINFO* info = static_cast<TW_IMAGEINFO*>(data);
        info->ImageWidth = 30 + dsm.transferred;
        info->ImageLength = 20;
        info->BitsPerPixel = 24;
        return TWRC_SUCCESS;
    }
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER) {
        *static_cast<TW_MEMREF*>(data) = ScannedPicture(dsm.transferred++).CopyToHandle();
        return TWRC_XFERDONE;
    }
    if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS) {
        TW_PENDINGXFERS* pending = static_cast<TW_PENDINGXFERS*>(data);
        dsm.pending = msg == MSG_ENDXFER && dsm.pending > 0 ? dsm.pending - 1 : 0;
        pending->Count = TW_UINT16(dsm.pending);
        return TWRC_SUCCESS;
    }
    return TWRC_SUCCESS;
}

class TwainTest : public GuiTest {
protected:
    void SetUp() override {
        g_dsm = &m_dsm;
        CTwain::OverrideSourceManager(FakeEntry, false);
        GuiTest::SetUp();
    }
    void TearDown() override {
        GuiTest::TearDown();
        CTwain::OverrideSourceManager(nullptr, false);
        g_dsm = nullptr;
    }
    // The calls made since index from, as "dat/msg [destination]".
    std::vector<std::string> CallsFrom(size_t from) const {
        std::vector<std::string> out;
        for (size_t i = from; i < m_dsm.calls.size(); i++) {
            const FakeDsm::Call& c = m_dsm.calls[i];
            if (c.dat == DAT_EVENT) continue;
            char text[96];
            snprintf(text, sizeof(text), "%u/%04x/%04x %s", unsigned(c.dg), unsigned(c.dat), unsigned(c.msg),
                     c.dest.c_str());
            out.push_back(text);
        }
        return out;
    }
    FakeDsm m_dsm;
};

TEST_F(TwainTest, AcquireWithoutSelectUsesTheDefaultSourceAndMakesADocumentPerImage) {
    // Opened for the main window with the program's identity when the window was made.
    ASSERT_FALSE(m_dsm.calls.empty());
    EXPECT_EQ(m_dsm.calls[0].dat, DAT_PARENT);
    EXPECT_EQ(m_dsm.calls[0].msg, MSG_OPENDSM);
    EXPECT_EQ(m_dsm.parent, FrameHwnd());
    EXPECT_EQ(m_dsm.appProduct, "Twain Test");
    EXPECT_EQ(m_dsm.appManufacturer, "TORVA");
    EXPECT_EQ(m_dsm.appProtocolMinor, 8);
    EXPECT_EQ(m_dsm.appGroups, 3u);

    size_t from = m_dsm.calls.size();
    Command(ID_TWAIN_ACQUIRE);
    EXPECT_EQ(CallsFrom(from), (std::vector<std::string>{"1/0003/0003 ", "1/0003/0401 Fake Scanner",
                                                         "1/0001/0006 Fake Scanner", "1/0009/0502 Fake Scanner"}));
    EXPECT_EQ(m_dsm.xferCountType, TWTY_INT16);
    EXPECT_EQ(m_dsm.xferCount, 0xFFFFu); // -1: any number
    ASSERT_TRUE(Frame()->Twain().IsSourceEnabled());

    // While the source's window is up, the accelerators are the source's business: F is no Full Screen.
    MSG key = {FrameHwnd(), WM_KEYDOWN, 'F', 0, 0, {0, 0}};
    from = m_dsm.calls.size();
    EXPECT_FALSE(m_app->PreTranslateMessage(key));
    EXPECT_FALSE(Frame()->IsFullScreen());
    ASSERT_EQ(m_dsm.calls.size(), from + 1);
    EXPECT_EQ(m_dsm.calls[from].msg, MSG_PROCESSEVENT);

    const int n = m_app->m_imageCounter;
    from = m_dsm.calls.size();
    PostMessageW(FrameHwnd(), kFakeXferReady, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return DocTitled("Acquired Image " + std::to_string(n + 2)) != nullptr; }));
    for (int i = 0; i < 3; i++) {
        CLvDoc* doc = DocTitled("Acquired Image " + std::to_string(n + i));
        ASSERT_NE(doc, nullptr) << i;
        ASSERT_TRUE(doc->m_image);
        const CLvImage expected = ScannedPicture(i);
        ASSERT_EQ(doc->m_image->GetWidth(), expected.GetWidth());
        EXPECT_TRUE(SameColor(doc->m_image->GetPixelColor(3, 4), expected.GetPixelColor(3, 4)));
    }
    EXPECT_EQ(m_app->m_imageCounter, n + 3);
    // Three times: image info, native transfer, end of transfer.
    std::vector<std::string> loop;
    for (int i = 0; i < 3; i++)
        for (const char* call : {"2/0101/0001 Fake Scanner", "2/0104/0001 Fake Scanner", "1/0005/0701 Fake Scanner"})
            loop.push_back(call);
    EXPECT_EQ(CallsFrom(from), loop);

    // The source asks to close: disabled, then closed; the accelerators work again.
    from = m_dsm.calls.size();
    PostMessageW(FrameHwnd(), kFakeCloseRequest, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !Frame()->Twain().IsSourceOpen(); }));
    EXPECT_EQ(CallsFrom(from), (std::vector<std::string>{"1/0009/0501 Fake Scanner", "1/0003/0402 Fake Scanner"}));
    EXPECT_FALSE(Frame()->Twain().IsSourceEnabled());
    EXPECT_TRUE(m_app->PreTranslateMessage(key));
    EXPECT_TRUE(Frame()->IsFullScreen());
    Command(ID_VIEW_FULL_SCREEN);
}

TEST_F(TwainTest, SelectSourceTakesTheChosenSource) {
    // The chooser opens on the default source; the user picks another.
    const size_t from = m_dsm.calls.size();
    Command(ID_TWAIN_SELECT_SOURCE);
    Command(ID_TWAIN_ACQUIRE);
    EXPECT_EQ(CallsFrom(from),
              (std::vector<std::string>{"1/0003/0003 ", "1/0003/0403 Fake Scanner", "1/0003/0401 Chosen Scanner",
                                        "1/0001/0006 Chosen Scanner", "1/0009/0502 Chosen Scanner"}));
    // Closing the main window closes the source and the source manager.
    const size_t before = m_dsm.calls.size();
    SendMessageW(FrameHwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(CallsFrom(before),
              (std::vector<std::string>{"1/0009/0501 Chosen Scanner", "1/0003/0402 Chosen Scanner", "1/0004/0302 "}));
}

class NoTwainTest : public GuiTest {
protected:
    void SetUp() override {
        CTwain::OverrideSourceManager(nullptr, true);
        GuiTest::SetUp();
    }
    void TearDown() override {
        GuiTest::TearDown();
        CTwain::OverrideSourceManager(nullptr, false);
    }
};

TEST_F(NoTwainTest, WithoutASourceManagerTheCommandsDoNothing) {
    EXPECT_FALSE(Frame()->Twain().IsLoaded());
    DialogAnswers answers;
    Command(ID_TWAIN_SELECT_SOURCE);
    Command(ID_TWAIN_ACQUIRE);
    m_app->PumpWaitingMessages();
    EXPECT_TRUE(Docs().empty());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_FALSE(Frame()->Twain().IsSourceEnabled());
}

} // namespace

namespace {

// The system's source manager with the tests' own source: the source manager loads its sources by full names
// from the Windows folder's "twain_64" ("twain_32") folder, so the test scanner stands in for "sane.ds"
// there (the original is put back afterwards) and is loaded as a native library.
class RealTwainTest : public GuiTest {
protected:
    static std::wstring Folder(bool system) {
        wchar_t path[MAX_PATH] = {};
        if (system) {
            GetWindowsDirectoryW(path, MAX_PATH);
            return std::wstring(path) + (sizeof(void*) == 8 ? L"\\twain_64" : L"\\twain_32");
        }
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe = path;
        return exe.substr(0, exe.rfind(L'\\'));
    }
    void SetUp() override {
        m_installed = Folder(true) + L"\\sane.ds";
        m_backup = m_installed + L".lumivue-test";
        CreateDirectoryW(Folder(true).c_str(), nullptr);
        MoveFileW(m_installed.c_str(), m_backup.c_str());
        ASSERT_TRUE(CopyFileW((Folder(false) + L"\\sane.ds").c_str(), m_installed.c_str(), FALSE));
        SetOverride(true);
        GuiTest::SetUp();
    }
    void TearDown() override {
        GuiTest::TearDown();
        SetOverride(false);
        // The source manager may keep its sources loaded until the process ends; the test scanner then stays
        // in the tests' prefix (harmless without the override) until the next run puts it there again.
        if (DeleteFileW(m_installed.c_str())) MoveFileW(m_backup.c_str(), m_installed.c_str());
    }
    static void SetOverride(bool native) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        const wchar_t value[] = L"native";
        if (native)
            RegSetValueExW(key, L"sane.ds", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
        else
            RegDeleteValueW(key, L"sane.ds");
        RegCloseKey(key);
    }
    std::wstring m_installed, m_backup;
};

TEST_F(RealTwainTest, TheTestScannerTransfersThreePicturesIntoThreeDocuments) {
    ASSERT_TRUE(Frame()->Twain().IsLoaded());
    const int n = m_app->m_imageCounter;
    Command(ID_TWAIN_ACQUIRE);
    ASSERT_TRUE(Frame()->Twain().IsSourceEnabled());
    EXPECT_STREQ(Frame()->Twain().SourceIdentity().ProductName, "Lumivue Test Scanner");
    ASSERT_TRUE(PumpUntil([&] { return !Frame()->Twain().IsSourceOpen(); }));
    for (int i = 0; i < 3; i++) {
        CLvDoc* doc = DocTitled("Acquired Image " + std::to_string(n + i));
        ASSERT_NE(doc, nullptr) << i;
        ASSERT_TRUE(doc->m_image);
        EXPECT_EQ(doc->m_image->GetWidth(), 16 + i);
        EXPECT_EQ(doc->m_image->GetHeight(), 12);
        EXPECT_TRUE(SameColor(doc->m_image->GetPixelColor(5, 5), RGBQUAD{200, 100, BYTE(i * 40), 0}));
    }
    EXPECT_EQ(Docs().size(), 3u);
}

} // namespace

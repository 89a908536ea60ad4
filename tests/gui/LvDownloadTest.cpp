#include "LvGuiTestUtil.h"

#include "acquire/LvAcquire.h"

#include <winsock2.h>

#include <commctrl.h>
#include <process.h>

#include <atomic>
#include <functional>
#include <map>

namespace {

// A small HTTP server on 127.0.0.1 in a thread of the test: each path has a handler that writes the whole
// answer to the connection, which is then closed.
class TestHttpServer {
public:
    typedef std::function<void(SOCKET)> Handler;
    TestHttpServer() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int size = sizeof(address);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        listen(m_listen, 8);
    }
    ~TestHttpServer() {
        m_stop = true;
        closesocket(m_listen);
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
        WSACleanup();
    }
    void On(const std::string& path, Handler handler) { m_handlers[path] = std::move(handler); }
    void Start() { m_thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Serve, this, 0, nullptr)); }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }
    bool Stopping() const { return m_stop; }
    int Requests() const { return m_requests; }

    static bool SendAll(SOCKET s, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const int n = send(s, bytes.data() + sent, int(bytes.size() - sent), 0);
            if (n <= 0) return false;
            sent += size_t(n);
        }
        return true;
    }
    static std::string Answer(const std::string& status, const std::string& body, bool withLength = true,
                              const std::string& headers = std::string()) {
        std::string head = "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers;
        if (withLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        return head + "\r\n" + body;
    }

private:
    static unsigned __stdcall Serve(void* arg) {
        TestHttpServer* server = static_cast<TestHttpServer*>(arg);
        while (!server->m_stop) {
            SOCKET s = accept(server->m_listen, nullptr, nullptr);
            if (s == INVALID_SOCKET) break;
            std::string request;
            char buffer[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = recv(s, buffer, sizeof(buffer), 0);
                if (n <= 0) break;
                request.append(buffer, size_t(n));
            }
            server->m_requests++;
            const size_t start = request.find(' ') + 1, end = request.find(' ', start);
            const std::string path = start > 0 && end != std::string::npos ? request.substr(start, end - start) : "";
            auto handler = server->m_handlers.find(path);
            if (handler != server->m_handlers.end())
                handler->second(s);
            else
                SendAll(s, Answer("404 Not Found", "<html>no such file</html>"));
            shutdown(s, SD_SEND);
            closesocket(s);
        }
        return 0;
    }

    SOCKET m_listen = INVALID_SOCKET;
    int m_port = 0;
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::map<std::string, Handler> m_handlers;
};

std::string FileBytes(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// What the download dialog's file bar showed: its texts and positions, recorded by subclassing it.
struct FileBarLog {
    std::vector<std::string> texts;
    std::vector<int> positions;
    std::function<void()> onText; // called after each text
};
FileBarLog* g_log = nullptr;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK RecordingBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT r = CallWindowProcW(g_barProc, hwnd, msg, wParam, lParam);
    if (g_log && msg == WM_SETTEXT) {
        g_log->texts.push_back(LvWideToUtf8(reinterpret_cast<const wchar_t*>(lParam)));
        g_log->positions.push_back(int(SendMessageW(hwnd, PBM_GETPOS, 0, 0)));
        if (g_log->onText) g_log->onText();
    }
    return r;
}

class DownloadTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        // A picture of exactly 2,000 bytes: a BMP with bytes after its pixels.
        CLvImage image(20, 20, 24);
        FillPattern(image, 5);
        const std::string bmp = m_dir.Path("pic.bmp");
        ASSERT_TRUE(image.Encode(bmp.c_str(), LVFMT_BMP));
        m_picture = FileBytes(bmp);
        ASSERT_LT(m_picture.size(), 2000u);
        m_picture.resize(2000, '\0');
        m_server.On("/pic.bmp",
                    [this](SOCKET s) { TestHttpServer::SendAll(s, TestHttpServer::Answer("200 OK", m_picture)); });
        m_server.On("/nolength.bmp", [this](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("200 OK", m_picture, false));
        });
        m_server.On("/anim.gif", [](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("200 OK", FileBytes(DataPath("gif/anim.gif"))));
        });
        m_server.On("/missing.bmp", [](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("404 Not Found", "<html>not here</html>"));
        });
        m_server.On("/short.bmp", [this](SOCKET s) {
            const std::string whole = TestHttpServer::Answer("200 OK", m_picture);
            TestHttpServer::SendAll(s, whole.substr(0, whole.size() - 1000));
        });
        m_server.On("/loop.bmp", [](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("302 Found", "", true, "Location: /loop.bmp\r\n"));
        });
        m_server.On("/moved.bmp", [](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("301 Moved", "", true, "Location: /pic.bmp\r\n"));
        });
        m_server.On("/drip.bmp", [this](SOCKET s) {
            TestHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1000000\r\n\r\n");
            for (int i = 0; i < 3000 && !m_server.Stopping(); i++) {
                if (!TestHttpServer::SendAll(s, std::string(10, 'x'))) break;
                Sleep(10);
            }
        });
        m_server.On("/huge.bmp", [](SOCKET s) {
            TestHttpServer::SendAll(s, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 4000000000\r\n\r\nBM");
        });
        m_server.On("/giant.bmp", [](SOCKET s) {
            // A BMP header that claims 70,000 x 70,000 pixels, far beyond what the engine takes.
            std::string header = "BM";
            auto le32 = [&header](uint32_t v) {
                for (int i = 0; i < 4; i++)
                    header += char((v >> (8 * i)) & 0xFF);
            };
            le32(54 + 64);
            le32(0);
            le32(54);
            le32(40);
            le32(70000);
            le32(70000);
            header += std::string("\x01\x00\x18\x00", 4);
            for (int i = 0; i < 6; i++)
                le32(0);
            header += std::string(64, '\x7F');
            TestHttpServer::SendAll(s, TestHttpServer::Answer("200 OK", header));
        });
        m_server.On("/page.bmp", [](SOCKET s) {
            TestHttpServer::SendAll(s, TestHttpServer::Answer("200 OK", "<html>a page, not a picture</html>"));
        });
        m_server.Start();
    }

    // Runs the download routine on an address, pressing Download; the file bar is recorded in log. Returns
    // the texts of the message boxes that came up.
    std::vector<std::string> Download(const std::string& url, FileBarLog& log, bool readAllFrames = true) {
        DialogAnswers answers;
        HWND dialogWindow = nullptr;
        answers.Expect("Download from URL", [&](HWND dialog) {
            dialogWindow = dialog;
            EXPECT_EQ(FwWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_URL)), url);
            HWND bar = GetDlgItem(dialog, IDC_DOWNLOAD_FILE);
            g_barProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingBarProc)));
            g_log = &log;
            DialogAnswers::Press(dialog, IDOK);
        });
        for (int i = 0; i < 2; i++)
            answers.Expect("Lumivue", [&](HWND box) { DialogAnswers::Press(box, readAllFrames ? IDOK : IDCANCEL); });
        m_app->OnDownloadFromUrl(url);
        g_log = nullptr;
        EXPECT_TRUE(answers.Unexpected().empty());
        std::vector<std::string> boxes;
        for (size_t i = 1; i < answers.Texts().size(); i++)
            boxes.push_back(answers.Texts()[i]);
        return boxes;
    }

    TestHttpServer m_server;
    std::string m_picture;
};

TEST_F(DownloadTest, APictureWithItsLengthShowsPercentsAndOpens) {
    FileBarLog log;
    const std::string url = m_server.Url("/pic.bmp");
    EXPECT_TRUE(Download(url, log).empty());
    CLvDoc* doc = DocTitled(url);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->m_image);
    EXPECT_EQ(doc->m_image->GetWidth(), 20);
    // 2,000 bytes in reads of 1,024 and 976.
    std::vector<std::string> percents;
    for (const std::string& t : log.texts)
        if (t.find('%') != std::string::npos) percents.push_back(t);
    EXPECT_EQ(percents, (std::vector<std::string>{"51 %", "100 %"}));
    EXPECT_EQ(log.positions.back(), 100);
}

TEST_F(DownloadTest, WithoutALengthTheBytesAreCounted) {
    FileBarLog log;
    const std::string url = m_server.Url("/nolength.bmp");
    EXPECT_TRUE(Download(url, log).empty());
    ASSERT_NE(DocTitled(url), nullptr);
    ASSERT_FALSE(log.texts.empty());
    EXPECT_EQ(log.texts.front(), "Cannot get file size of the download Image!!!");
    EXPECT_EQ(log.texts.back(), "Downloaded 2000 Bytes");
    for (int p : log.positions)
        EXPECT_EQ(p, 0);
}

TEST_F(DownloadTest, AnAnimationAsksToReadAllFrames) {
    for (bool all : {true, false}) {
        FileBarLog log;
        const std::string url = m_server.Url("/anim.gif");
        const size_t docs = Docs().size();
        const std::vector<std::string> boxes = Download(url, log, all);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], "File with 3 images. Read all?");
        EXPECT_EQ(Docs().size(), docs + (all ? 3 : 1));
        if (all) {
            EXPECT_NE(DocTitled(url + " (2)"), nullptr);
            ASSERT_NE(DocTitled(url + " (3)"), nullptr);
            EXPECT_EQ(DocTitled(url + " (3)")->m_image->GetFrame(), 2);
        }
        for (CLvDoc* doc : Docs())
            doc->OnCloseDocument();
    }
}

TEST_F(DownloadTest, FailuresAreReportedAndMakeNoDocument) {
    const struct {
        std::string url;
        const char* message;
    } cases[] = {
        {m_server.Url("/missing.bmp"), "The server answered 404 (Not Found)"},
        {m_server.Url("/short.bmp"), "An error occurred while downloading the file"},
        {m_server.Url("/huge.bmp"), "The file is too large to download (more than 512 MB)."},
        {m_server.Url("/page.bmp"), "The downloaded file is not a picture Lumivue can read"},
        {m_server.Url("/giant.bmp"), "The downloaded file is not a picture Lumivue can read: Image too large"},
        {"http:///nohost.bmp", "cannot connect to remote server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        FileBarLog log;
        const std::vector<std::string> boxes = Download(c.url, log);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].substr(0, strlen(c.message)), c.message) << boxes[0];
        EXPECT_TRUE(Docs().empty());
    }
}

TEST_F(DownloadTest, RedirectionsAreFollowedButALoopEnds) {
    FileBarLog log;
    EXPECT_TRUE(Download(m_server.Url("/moved.bmp"), log).empty());
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Docs()[0]->m_image->GetWidth(), 20);
    Docs()[0]->OnCloseDocument();

    const int before = m_server.Requests();
    const std::vector<std::string> boxes = Download(m_server.Url("/loop.bmp"), log);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The server answered 302 (Too many redirections)");
    EXPECT_EQ(m_server.Requests() - before, 11);
    EXPECT_TRUE(Docs().empty());
}

TEST_F(DownloadTest, AbortDuringTheTransferEndsWithoutADocument) {
    FileBarLog log;
    HWND cancel = nullptr;
    log.onText = [&] {
        // Once bytes are coming, the user presses Cancel.
        if (!cancel && !log.texts.empty() && log.texts.back().find('%') != std::string::npos) {
            HWND dialog = FindWindowW(L"#32770", L"Download from URL");
            cancel = GetDlgItem(dialog, IDCANCEL);
            PostMessageW(cancel, BM_CLICK, 0, 0);
        }
    };
    EXPECT_TRUE(Download(m_server.Url("/drip.bmp"), log).empty());
    EXPECT_NE(cancel, nullptr);
    EXPECT_TRUE(Docs().empty());
}

} // namespace

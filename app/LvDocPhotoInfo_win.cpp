#include "app/LvDoc_win.h"

#include "app/LvApp_win.h"
#include "app/LvEffectConfig.h"
#include "app/LvMainFrame_win.h"
#include "app/LvPhotoInfo.h"
#include "app/LvPhotoInfoDialogs_win.h"
#include "res/resource.h"

#include <cwchar>

// The photo information commands run on the interface thread, without the command worker.

namespace {

HWND FrameHwnd() {
    CLumivueApp* app = CLumivueApp::Get();
    return app && app->Frame() ? app->Frame()->GetHwnd() : nullptr;
}

void Message(const std::string& text, UINT flags = MB_OK | MB_ICONEXCLAMATION) {
    if (CFwApp::Get()) CFwApp::Get()->ShowMessage(text, flags);
}

std::string FaceName(const LOGFONTW& font) {
    const size_t n = wcsnlen(font.lfFaceName, LF_FACESIZE);
    return LvWideToUtf8(std::wstring(font.lfFaceName, n));
}

// The wait cursor while a command works on the picture.
class WaitCursor {
public:
    WaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}
    ~WaitCursor() { SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace

bool CLvDoc::OnUpdatePhotoInfoCommand(CFwCmdUI& ui) {
    switch (ui.id) {
    case ID_TOOLS_EXIF_INFORMATION:
        ui.Enable(true);
        return true;
    case ID_TOOLS_THUMBNAIL:
        // No image rule (without one it does nothing), but never while a command owns the picture.
        ui.Enable(!IsBusy());
        return true;
    case ID_TOOLS_TIME_STAMP:
        ui.Enable(CanRunCommands());
        return true;
    case ID_TOOLS_WATERMARK_EMBED:
    case ID_TOOLS_WATERMARK_DETECT:
        ui.Enable(CanRunCommands() && m_image->GetFormat() == LVFMT_BMP);
        return true;
    default:
        return false;
    }
}

bool CLvDoc::OnPhotoInfoCommand(int id) {
    switch (id) {
    case ID_TOOLS_EXIF_INFORMATION:
        OnExifInformation();
        return true;
    case ID_TOOLS_THUMBNAIL:
        OnThumbnail();
        return true;
    case ID_TOOLS_TIME_STAMP:
        OnTimeStamp();
        return true;
    case ID_TOOLS_WATERMARK_EMBED:
        OnWatermarkEmbed();
        return true;
    case ID_TOOLS_WATERMARK_DETECT:
        OnWatermarkDetect();
        return true;
    default:
        return false;
    }
}

void CLvDoc::OnExifInformation() {
    Message(LvExifReport(m_exif), MB_OK | MB_ICONINFORMATION);
}

void CLvDoc::OnThumbnail() {
    if (!m_image || !m_image->IsValid() || IsBusy()) return;
    CLumivueApp* app = CLumivueApp::Get();
    CLvEffectConfig config("Thumbnail");
    if (app) config.Read(app->Settings());
    std::string mark = config.Text("Mark");
    if (mark.empty()) mark = kLvDefaultThumbnailMark;
    CThumbnailDlg dialog(mark, config.Number("Percentage"), config.Number("Exif") > 0);
    if (dialog.DoModal(FrameHwnd()) != IDOK) return;
    config.SetText("Mark", dialog.Mark());
    config.SetNumber("Percentage", dialog.Percentage());
    config.SetNumber("Exif", dialog.Exif() ? 1 : 0);
    if (app) config.Write(app->Settings());

    // The last command's progress watcher may still read the picture that the snapshot below can drop.
    JoinThreads();
    SubmitUndo();
    SetModifiedFlag(true);
    {
        WaitCursor wait;
        // A cancel left over from an earlier command would cut the resampling short.
        m_image->SetEscape(0);
        LvComposeThumbnail(*m_image, dialog.Percentage(),
                           LvThumbnailCaption(dialog.Mark(), dialog.Exif() ? &m_exif : nullptr));
    }
    UpdateAllViews(nullptr, 0);
    UpdateStatusBar();
}

void CLvDoc::OnTimeStamp() {
    if (!CanRunCommands()) return;
    CTimeStampDlg dialog(m_stampFont, m_stampColor);
    if (dialog.DoModal(FrameHwnd()) != IDOK) return;
    m_stampFont = dialog.Font();
    m_stampColor = dialog.Color();
    m_stampText = dialog.Text();
    JoinThreads();
    SubmitUndo();
    SetModifiedFlag(true);

    const std::string face = FaceName(m_stampFont);
    const bool italic = m_stampFont.lfItalic != 0, underline = m_stampFont.lfUnderline != 0;
    // Measured with the font the drawing makes from the record, so that the right margin is exactly 30.
    const SIZE box = CLvImage::MeasureString(nullptr, m_stampText.c_str(), face.c_str(), m_stampFont.lfHeight,
                                             m_stampFont.lfWeight, italic, underline);
    m_image->DrawString(nullptr, m_image->GetWidth() - box.cx - 30, m_image->GetHeight() - box.cy, m_stampText.c_str(),
                        CLvImage::ColorRefToQuad(m_stampColor), face.c_str(), m_stampFont.lfHeight,
                        m_stampFont.lfWeight, italic, underline);
    UpdateAllViews(nullptr, 0);
}

void CLvDoc::OnWatermarkEmbed() {
    if (!CanRunCommands() || m_image->GetFormat() != LVFMT_BMP) return;
    CWatermarkDlg dialog;
    if (dialog.DoModal(FrameHwnd()) != IDOK) return;
    JoinThreads();
    SubmitUndo();
    std::vector<uint8_t> payload;
    if (dialog.IsFile()) {
        const LvFileWatermarkResult result = LvFileWatermark(dialog.Path(), payload);
        if (result == kLvWatermarkCannotOpen) return;
        if (result == kLvWatermarkTooLong) {
            Message("The watermark is too long...");
            return;
        }
    } else {
        payload = LvTextWatermark(dialog.Text());
    }
    if (payload.size() > kLvMaxWatermarkBytes || !m_image->EmbedWatermark(payload.data(), int(payload.size()))) {
        Message("The watermark is too long...");
        return;
    }
    // The hidden bits changed pixels: the document must ask before it closes.
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, 0);
    Message("Watermark Embeded Successfully!", MB_OK | MB_ICONINFORMATION);
}

void CLvDoc::OnWatermarkDetect() {
    if (!CanRunCommands() || m_image->GetFormat() != LVFMT_BMP) return;
    m_image->SetEscape(0);
    DWORD length = 0;
    std::vector<uint8_t> payload;
    bool found = m_image->DetectWatermark(nullptr, length) && length > 0;
    if (found) {
        payload.resize(length);
        found = m_image->DetectWatermark(payload.data(), length) && length == payload.size();
    }
    const LvWatermark mark = found ? LvParseWatermark(payload) : LvWatermark();
    if (mark.kind == kLvWatermarkNone) {
        Message("Without Watermark in this file");
        return;
    }
    if (mark.kind == kLvWatermarkText) {
        Message(mark.text, MB_OK | MB_ICONINFORMATION);
        return;
    }
    Message("The watermark contains a file, please select a target to save.", MB_OK | MB_ICONINFORMATION);
    // The stored name comes from the picture: only its plain last part is offered.
    std::string target = LvPlainFileName(mark.text);
    if (!LvPromptWatermarkTarget(FrameHwnd(), target)) return;
    if (!LvWriteFileReplacing(target, payload.data() + mark.dataOffset, payload.size() - mark.dataOffset))
        Message("Can't write the file");
}

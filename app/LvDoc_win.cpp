#include "app/LvDoc_win.h"

#include "app/LvApp_win.h"
#include "app/LvDialogs_win.h"
#include "app/LvDocRules.h"
#include "app/LvImageCommands.h"
#include "app/LvMainFrame_win.h"
#include "app/LvParamDialog_win.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvJpegTurn.h"
#include "formats/LvOrientation.h"
#include "framework/FwMail_win.h"
#include "framework/FwView_win.h"
#include "image/LvCodecError.h"
#include "image/LvScopedWin.h"
#include "res/resource.h"

#include <commdlg.h>
#include <process.h>

#include <new>
#include <stdexcept>

namespace {

CMainFrame* Frame() {
    return CLumivueApp::Get() ? CLumivueApp::Get()->Frame() : nullptr;
}

HWND FrameHwnd() {
    return Frame() ? Frame()->GetHwnd() : nullptr;
}

void Message(const std::string& text) {
    if (CFwApp::Get()) CFwApp::Get()->ShowMessage(text);
}

// The writer's reason for a failed write.
void ShowWriteError(const CLvImage& image) {
    const char* text = image.GetLastErrorText();
    Message(text && *text ? text : "Can't write the file");
}

LvCommandHook g_commandHook = nullptr;

void ShowOutOfMemory() {
    Message(LvLoadString(IDS_OUT_OF_MEMORY));
}

int64_t PerformanceCounter() {
    LARGE_INTEGER v;
    return QueryPerformanceCounter(&v) ? int64_t(v.QuadPart) : 0;
}

} // namespace

void LvSetCommandHook(LvCommandHook hook) {
    g_commandHook = hook;
}

void LvWaitHandlingSentMessages(HANDLE handle) {
    if (!handle) return;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break; // the thread ended (or the wait failed)
        // Only messages sent from other threads are handled here; posted ones wait for the message loop.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

namespace {
// The mouse tools' commands with their tool numbers; Move, Select and Zoom are always available, the others
// need a picture that no command is changing.
struct ToolCommand {
    int command;
    int tool;
    bool needsImage;
};
const ToolCommand kToolCommands[] = {
    {ID_MOUSE_MOVE, kLvToolMove, false},
    {ID_MOUSE_SELECT, kLvToolSelect, false},
    {ID_MOUSE_ZOOM, kLvToolZoom, false},
    {ID_MOUSE_RECT_SELECTION, kLvToolRectSelection, true},
    {ID_MOUSE_ELLIPSE_SELECTION, kLvToolEllipseSelection, true},
    {ID_MOUSE_PICK_COLOR, kLvToolPickColor, true},
};
const ToolCommand* FindToolCommand(int id) {
    for (const ToolCommand& t : kToolCommands)
        if (t.command == id) return &t;
    return nullptr;
}
} // namespace

CLvDoc::CLvDoc() {
    if (Frame()) m_fitMode = Frame()->FitModeForNew();
    LARGE_INTEGER f;
    m_swFrequency = QueryPerformanceFrequency(&f) ? int64_t(f.QuadPart) : 0;
}

CLvDoc::~CLvDoc() {
    ReleaseImage();
    if (m_watcherWake) CloseHandle(m_watcherWake);
}

void CLvDoc::PreCloseDocument() {
    // While the views still exist: the watcher may be reporting to one of them.
    ReleaseImage();
}

// ---- open and save ----------------------------------------------------------------------------------------------

bool CLvDoc::OnNewDocument() {
    if (!CFwDocument::OnNewDocument()) return false;
    m_image.reset();
    return true;
}

bool CLvDoc::OnOpenDocument(const std::string& path) {
    if (!LoadFile(path)) return false;
    m_filePath = path;
    m_folder = LvFolderOf(path);
    ScanFolder(m_folder);
    return true;
}

bool CLvDoc::LoadFile(const std::string& path) {
    SetPathNameOnly(path);
    const DWORD format = LvLoadFormatOfPath(path);
    if (format == 0) {
        // A dropped folder or a file of another kind: say why nothing opens.
        const DWORD attributes = GetFileAttributesW(LvUtf8ToWide(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            Message(path + " is a folder, not a picture.");
        else
            Message(path + " is not a kind of picture that Lumivue opens.");
        return false;
    }
    StopWatch(0);
    std::unique_ptr<CLvImage> image;
    try {
        image.reset(new CLvImage());
        image->Load(path.c_str(), format);
    } catch (const std::bad_alloc&) {
        image.reset();
    } catch (const std::length_error&) {
        image.reset();
    }
    StopWatch(1);
    if (!image) {
        ShowOutOfMemory();
        m_image.reset();
        return false;
    }
    if (!image->IsValid()) {
        if (!m_showingSlides) Message("Invalid image path!");
        m_image.reset();
        return false;
    }
    m_cameraData = LvCameraData();
    m_sourceJpeg.clear();
    m_pixelHistory = LvPixelHistory();
    if (image->GetFormat() == LVFMT_JPG) {
        m_exif = ExifInfo();
        // The file is read once more, whole: the EXIF report and the camera data come from these bytes, and a
        // lossless turn starts from them.
        m_sourceJpeg = LvReadFileBytes(path.c_str());
        if (!m_sourceJpeg.empty()) {
            CLvMemStream exifStream(m_sourceJpeg.data(), m_sourceJpeg.size());
            CLvExifReader reader(&m_exif);
            reader.DecodeExif(&exifStream);
            CLvMemStream cameraStream(m_sourceJpeg.data(), m_sourceJpeg.size());
            m_cameraData = LvReadCameraData(&cameraStream);
        }
        // The report keeps showing the stored tag; only the pixels are turned.
        CLumivueApp* settingsOwner = CLumivueApp::Get();
        const int orientation = LvExifOrientation(m_exif);
        if (settingsOwner && LvReadSwitch(settingsOwner->Settings(), kLvRotateByExif) && orientation != 1) {
            m_pixelHistory.AddTurn(LvTurnOfOrientation(orientation));
            if (!LvApplyOrientation(*image, orientation)) Message(kLvErrNoMemory);
        }
    }
    m_image = std::move(image);
    const std::string title = FwFileTitle(path);
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
    SetTitle(title);
    UpdateStatusBar();

    // Every further frame or page becomes a document of its own.
    const int frames = m_image->GetFrameCount();
    CLumivueApp* app = CLumivueApp::Get();
    for (int i = 1; i < frames && app && app->m_pDocTemplate && !m_showingSlides; i++) {
        CLvDoc* doc = dynamic_cast<CLvDoc*>(app->m_pDocTemplate->OpenDocumentFile(nullptr));
        if (!doc) continue;
        try {
            std::unique_ptr<CLvImage> frame(new CLvImage());
            frame->SetFrame(i);
            frame->Load(path.c_str(), format);
            doc->m_image = std::move(frame);
        } catch (const std::exception&) {
            // Out of memory for this frame: its window says so by staying empty; the others go on.
            doc->m_image.reset();
        }
        doc->SetTitle(LvFrameTitle(title, i));
        doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
    }
    return true;
}

void CLvDoc::ScanFolder(const std::string& folder) {
    m_folderFiles.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LvUtf8ToWide(folder + "*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = LvWideToUtf8(data.cFileName);
            if (name == "." || name == "..") continue;
            if (LvIsWalkable(name)) m_folderFiles.push_back(name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    m_fileIndex = LvFindFileIndex(folder, m_folderFiles, m_filePath, m_fileIndex);
}

bool CLvDoc::OnSaveDocument(const std::string& path) {
    const DWORD format = LvSaveFormatOfPath(path);
    if (!m_image) return false;
    if (format == 0) {
        Message("This file type cannot be written; choose one of the listed types.");
        return false;
    }
    StopWatch(0);
    // The engine writes beside the file and replaces it only after a complete write. A JPEG saved from a
    // JPEG photo carries the photo's camera data, fit for what happened to the pixels.
    LvCameraData camera;
    CLumivueApp* app = CLumivueApp::Get();
    if (format == LVFMT_JPG && !m_cameraData.Empty() && app && LvReadSwitch(app->Settings(), kLvKeepCameraData))
        camera = LvAdjustCameraData(m_cameraData, m_pixelHistory, m_image->GetWidth(), m_image->GetHeight());
    // A photo that was only turned is saved by turning its file, which loses nothing.
    std::string status;
    bool ok = false;
    if (format == LVFMT_JPG) {
        const LvJpegPhotoSave saved = LvSaveJpegPhoto(*m_image, m_sourceJpeg, m_pixelHistory, camera, path.c_str());
        ok = saved.ok;
        status = saved.lossless ? "Saved turned without loss" : saved.note;
    } else {
        ok = m_image->Encode(path.c_str(), format);
    }
    StopWatch(1);
    UpdateStatusBar();
    if (!status.empty() && Frame()) Frame()->SetPaneText(0, status);
    if (ok) return true;
    ShowWriteError(*m_image);
    return false;
}

bool CLvDoc::DoSave(const char* path, bool replace) {
    // Saving while a command runs (the close prompt allows it) writes the command's result: wait for it.
    if (IsBusy()) {
        HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        JoinThreads();
        SetCursor(previous);
    }
    if (!m_image) return false;
    const bool wasModified = IsModified();
    std::string name;
    if (path && *path && LvCanSaveFormat(m_image->GetFormat())) {
        name = path;
    } else {
        name = LvProposedSaveName(GetPathName(), GetTitle(), replace, m_image->GetFormat());
        int format = int(m_image->GetFormat());
        if (!CLumivueApp::Get() ||
            !CLumivueApp::Get()->DoPromptFileName(name, "Save As", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, false, format))
            return false;
    }
    const DWORD format = LvSaveFormatOfPath(name);
    if (format == LVFMT_GIF || format == LVFMT_TIF) {
        CEncodeOptionsDlg dialog(format == LVFMT_TIF, m_image->GetCodecOption());
        if (dialog.DoModal(FrameHwnd()) != IDOK) return false;
        m_image->SetCodecOption(dialog.Option());
    } else if (format == LVFMT_JPG) {
        CJpegOptionsDlg dialog(m_image->GetJpegQuality(), m_image->GetXDPI(), m_image->GetYDPI());
        if (dialog.DoModal(FrameHwnd()) != IDOK) return false;
        m_image->SetJpegQuality(BYTE(dialog.Quality() < 1 ? 1 : dialog.Quality()));
        m_image->SetXDPI(dialog.XDpi());
        m_image->SetYDPI(dialog.YDpi());
    }
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    const bool ok = OnSaveDocument(name);
    SetCursor(previous);
    // A failed save leaves the file as it was (the engine never replaced it) and the document unchanged.
    if (!ok) return false;
    if (replace) {
        SetPathName(name);
        SetModifiedFlag(false);
    } else {
        SetModifiedFlag(wasModified);
    }
    return true;
}

// ---- undo, stopwatch, status ------------------------------------------------------------------------------------

void CLvDoc::SubmitUndo(int command) {
    m_undo.Submit(m_image.get(), m_pixelHistory);
    NotePixelChange(command);
}

void CLvDoc::OnEditUndo() {
    if (!m_undo.CanUndo()) return;
    m_undo.Undo(m_image, &m_pixelHistory);
    SetModifiedFlag(LvModifiedAfterUndo(IsModified(), m_undo.Level()));
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
    UpdateStatusBar();
}

void CLvDoc::OnEditRedo() {
    if (!m_undo.CanRedo()) return;
    m_undo.Redo(m_image, &m_pixelHistory);
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
    UpdateStatusBar();
}

void CLvDoc::StopWatch(int mode) {
    if (mode == 0) {
        m_swStart = PerformanceCounter();
        return;
    }
    m_swEnd = PerformanceCounter();
    m_elapsed = LvElapsedSeconds(m_swStart, m_swEnd, m_swFrequency);
}

const CLvImage* CLvDoc::DisplayImage() const {
    if (IsBusy()) return m_busySnapshot.load();
    return m_image && m_image->IsValid() ? m_image.get() : nullptr;
}

void CLvDoc::UpdateStatusBar() {
    const CLvImage* image = DisplayImage();
    CMainFrame* frame = Frame();
    if (!image || !frame) return;
    frame->SetPaneText(3, LvSizeText(image->GetWidth(), image->GetHeight(), image->GetBpp(), image->GetFormat()));
    frame->SetPaneText(5, LvTimeText(m_elapsed));
    // The scale the picture is drawn at: the zoom counts only in Fit Size.
    frame->SetPaneText(4, LvZoomText(LvDrawScale(m_fitMode, m_zoom, m_fitFactor), 1.0f));
    frame->SetProgress(0);
    if (m_undo.DroppedByBudget() > 0) frame->SetPaneText(0, LvLoadString(IDS_UNDO_DROPPED));
}

// ---- worker -----------------------------------------------------------------------------------------------------

void CLvDoc::JoinThreads() {
    if (m_workerHandle) {
        LvWaitHandlingSentMessages(m_workerHandle);
        CloseHandle(m_workerHandle);
        m_workerHandle = nullptr;
    }
    if (HANDLE watcher = m_progressHandle.exchange(nullptr)) {
        if (m_watcherWake) SetEvent(m_watcherWake);
        LvWaitHandlingSentMessages(watcher);
        CloseHandle(watcher);
    }
    m_workerThread = nullptr;
    m_progressThread = nullptr;
    m_busySnapshot = nullptr;
}

void CLvDoc::NotePixelChange(int command) {
    LvNoteOperation(m_pixelHistory, command ? LvFindOperationByCommand(command) : nullptr);
}

void CLvDoc::StartWorker(int command, const LvOpParams& params) {
    if (!CanRunCommands()) return;
    JoinThreads();
    m_historyBeforeWorker = m_pixelHistory;
    NotePixelChange(command);
    m_command = command;
    m_param = params;
    // Reset here, before the worker exists, so that a cancel that comes in meanwhile is never undone.
    m_image->SetProgress(0);
    m_image->SetEscape(0);
    if (m_watcherWake) ResetEvent(m_watcherWake);
    m_commandFault = kNoFault;
    m_modifiedBeforeCommand = IsModified();
    CFwView* view = dynamic_cast<CFwView*>(FirstView());
    m_notifyWnd = view ? view->GetHwnd() : nullptr;
    // Suspended first: the busy mark is in place before the worker can clear it.
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CommandWorker, this, CREATE_SUSPENDED, nullptr));
    if (!thread) return;
    m_workerHandle = thread;
    m_workerThread = thread;
    ResumeThread(thread);
}

unsigned __stdcall CLvDoc::CommandWorker(void* arg) {
    CLvDoc* doc = static_cast<CLvDoc*>(arg);
    CLvImage* image = doc->m_image.get();
    if (!image) {
        doc->m_workerThread = nullptr;
        return 0;
    }
    // No memory for the undo copy: the command does not run, so that nothing is changed beyond recall.
    const CLvImage* snapshot = nullptr;
    try {
        snapshot = doc->m_undo.Submit(image, doc->m_historyBeforeWorker);
    } catch (const std::exception&) {
        snapshot = nullptr;
    }
    doc->m_busySnapshot = snapshot;
    if (snapshot) doc->SetModifiedFlag(true);
    HANDLE watcher =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ProgressWatcher, doc, CREATE_SUSPENDED, nullptr));
    if (watcher) {
        doc->m_progressHandle = watcher;
        doc->m_progressThread = watcher;
        ResumeThread(watcher);
    }
    doc->StopWatch(0);
    if (!snapshot)
        doc->m_commandFault = kFaultNoUndoMemory;
    else if (!doc->RunGuarded(nullptr, doc->m_command, doc->m_param, *image))
        doc->m_commandFault = kFaultRanOutOfMemory;
    doc->StopWatch(1);
    image->SetProgress(100);
    doc->m_workerThread = nullptr;
    return 0;
}

unsigned __stdcall CLvDoc::ProgressWatcher(void* arg) {
    CLvDoc* doc = static_cast<CLvDoc*>(arg);
    CLvImage* image = doc->m_image.get();
    const HWND view = doc->m_notifyWnd.load();
    // Sleeps for the interval unless told to finish; true when told.
    auto toldToFinish = [doc](DWORD ms) {
        return doc->m_watcherWake ? WaitForSingleObject(doc->m_watcherWake, ms) == WAIT_OBJECT_0 : (Sleep(ms), false);
    };
    bool finish = false;
    for (;;) {
        const int p = image->GetProgress();
        if (p >= 100) break;
        finish = toldToFinish(333);
        if (finish || image->GetEscape()) break;
        if (view) SendMessageW(view, WM_DOC_PROGRESS, WPARAM(p), 0);
    }
    if (view) SendMessageW(view, WM_DOC_PROGRESS, 100, 0);
    if (!finish) toldToFinish(111);
    // The refresh comes once the worker is done, so that the view shows the result.
    while (doc->m_workerThread.load())
        Sleep(10);
    if (view) SendMessageW(view, WM_DOC_REFRESH, 0, 0);
    doc->m_progressThread = nullptr;
    return 0;
}

bool CLvDoc::RunGuarded(const LvOperation* op, int command, const LvOpParams& params, CLvImage& image) {
    // An operation that cannot get its memory throws out of the engine's containers.
    try {
        if (g_commandHook) g_commandHook(image);
        if (op)
            LvRunOperation(*op, image, params, CommandContext());
        else
            LvRunImageCommand(command, params, image, CommandContext());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

void CLvDoc::TakeBackFailedCommand(bool wasModified) {
    // Exchanges pointers only: taking back needs no memory. The history goes back with the picture.
    m_undo.Undo(m_image, &m_pixelHistory);
    m_undo.DropRedo();
    SetModifiedFlag(wasModified);
}

void CLvDoc::OnCommandDone() {
    const int fault = m_commandFault.exchange(kNoFault);
    if (fault == kNoFault) return;
    if (fault == kFaultRanOutOfMemory) TakeBackFailedCommand(m_modifiedBeforeCommand);
    // A command that never ran changed nothing of the pixels' history either.
    if (fault == kFaultNoUndoMemory) m_pixelHistory = m_historyBeforeWorker;
    // Told after the message that carries this call has returned: the watcher waits for it.
    CFwView* view = dynamic_cast<CFwView*>(FirstView());
    if (view) PostMessageW(view->GetHwnd(), WM_DOC_OUT_OF_MEMORY, 0, 0);
}

void LvShowOutOfMemory() {
    ShowOutOfMemory();
}

void CLvDoc::ReleaseImage() {
    m_zoom = 1.0f;
    if (m_image) m_image->SetEscape(1);
    // The worker first: it starts the watcher, whose handle is then certain to be stored.
    JoinThreads();
    m_image.reset();
    m_undo.Clear();
}

// ---- commands ---------------------------------------------------------------------------------------------------

bool CLvDoc::OnUpdateCommand(CFwCmdUI& ui) {
    if (OnUpdatePhotoInfoCommand(ui)) return true;
    if (OnUpdateDesktopCommand(ui)) return true;
    const bool canRunCommands = CanRunCommands();
    const int count = int(m_folderFiles.size());
    switch (ui.id) {
    case ID_FILE_SAVE:
        ui.Enable(IsModified() && canRunCommands);
        return true;
    case ID_FILE_SAVE_AS:
    case ID_EDIT_COPY:
    case ID_EDIT_DUPLICATE:
    case ID_FILE_SEND_MAIL:
        ui.Enable(canRunCommands);
        return true;
    case ID_FILE_CLOSE:
    case ID_WINDOW_CLOSE:
        return true;
    case ID_EDIT_EMPTY: {
        // Any clipboard format at all.
        ui.Enable(CountClipboardFormats() > 0);
        return true;
    }
    case ID_EDIT_UNDO:
        ui.Enable(canRunCommands && m_undo.CanUndo());
        return true;
    case ID_EDIT_REDO:
        ui.Enable(canRunCommands && m_undo.CanRedo());
        return true;
    case ID_VIEW_FIRST_PICTURE:
        ui.Enable(!IsBusy() && LvWalkEnabled(kLvWalkFirst, m_fileIndex, count));
        return true;
    case ID_VIEW_LAST_PICTURE:
        ui.Enable(!IsBusy() && LvWalkEnabled(kLvWalkLast, m_fileIndex, count));
        return true;
    case ID_VIEW_PREV_PICTURE:
        ui.Enable(!IsBusy() && LvWalkEnabled(kLvWalkPrev, m_fileIndex, count));
        return true;
    case ID_VIEW_NEXT_PICTURE:
        ui.Enable(!IsBusy() && LvWalkEnabled(kLvWalkNext, m_fileIndex, count));
        return true;
    case ID_VIEW_ZOOM_IN:
        ui.Enable(LvCanZoomIn(m_fitMode, m_zoom));
        return true;
    case ID_VIEW_ZOOM_OUT:
        ui.Enable(LvCanZoomOut(m_fitMode, m_zoom));
        return true;
    case ID_VIEW_NORMAL:
        ui.Enable(LvCanNormalView(m_fitMode, m_zoom));
        return true;
    case ID_VIEW_FIT_IMAGE:
    case ID_VIEW_FIT_SIZE:
    case ID_VIEW_FIT_WIDTH:
    case ID_VIEW_FIT_HEIGHT:
    case ID_VIEW_FIT_SCREEN: {
        const int mode = ui.id == ID_VIEW_FIT_IMAGE    ? kLvFitImage
                         : ui.id == ID_VIEW_FIT_SIZE   ? kLvFitSize
                         : ui.id == ID_VIEW_FIT_WIDTH  ? kLvFitWidth
                         : ui.id == ID_VIEW_FIT_HEIGHT ? kLvFitHeight
                                                       : kLvFitScreen;
        ui.SetCheck(m_fitMode == mode);
        return true;
    }
    default:
        break;
    }
    if (const ToolCommand* tool = FindToolCommand(ui.id)) {
        ui.Enable(!tool->needsImage || canRunCommands);
        ui.SetCheck(m_toolMode == tool->tool);
        return true;
    }
    if (const LvDepthCommand* depth = LvFindDepthCommand(ui.id)) {
        ui.Enable(canRunCommands);
        // While a command runs the check stays on the depth of the picture shown.
        const CLvImage* shown = DisplayImage();
        ui.SetCheck(shown && shown->GetBpp() == depth->depth);
        return true;
    }
    if (const LvOperation* op = LvFindMenuOperation(ui.id)) {
        ui.Enable(!IsBusy() && LvOperationEnabled(*op, m_image.get(), false, m_toolMode));
        return true;
    }
    return false;
}

bool CLvDoc::OnCommand(int id) {
    if (OnPhotoInfoCommand(id)) return true;
    if (OnDesktopCommand(id)) return true;
    switch (id) {
    case ID_FILE_SAVE:
        DoSave(GetPathName().c_str(), true);
        return true;
    case ID_FILE_SAVE_AS:
        DoSave(nullptr, true);
        return true;
    case ID_FILE_CLOSE:
        // The framework's close, with the save prompt; the document may be gone afterwards.
        if (SaveModified()) OnCloseDocument();
        return true;
    case ID_WINDOW_CLOSE:
        OnCloseDocument();
        return true;
    case ID_EDIT_COPY:
        OnEditCopy();
        return true;
    case ID_EDIT_EMPTY:
        if (OpenClipboard(FrameHwnd())) {
            EmptyClipboard();
            CloseClipboard();
        }
        return true;
    case ID_EDIT_DUPLICATE:
        OnDuplicate();
        return true;
    case ID_FILE_SEND_MAIL:
        OnFileSendMail();
        return true;
    case ID_EDIT_UNDO:
        OnEditUndo();
        return true;
    case ID_EDIT_REDO:
        OnEditRedo();
        return true;
    case ID_VIEW_FIRST_PICTURE:
    case ID_VIEW_LAST_PICTURE:
    case ID_VIEW_PREV_PICTURE:
    case ID_VIEW_NEXT_PICTURE: {
        const LvWalk walk = id == ID_VIEW_FIRST_PICTURE  ? kLvWalkFirst
                            : id == ID_VIEW_LAST_PICTURE ? kLvWalkLast
                            : id == ID_VIEW_PREV_PICTURE ? kLvWalkPrev
                                                         : kLvWalkNext;
        int target = 0;
        if (LvWalkTarget(walk, m_fileIndex, int(m_folderFiles.size()), target)) WalkTo(target);
        return true;
    }
    case ID_VIEW_ZOOM_IN:
        SetZoom(LvZoomIn(m_zoom));
        return true;
    case ID_VIEW_ZOOM_OUT:
        SetZoom(LvZoomOut(m_zoom));
        return true;
    case ID_VIEW_NORMAL:
        SetZoom(1.0f);
        return true;
    case ID_VIEW_FIT_IMAGE:
        SetFitMode(kLvFitImage);
        return true;
    case ID_VIEW_FIT_SIZE:
        SetFitMode(kLvFitSize);
        return true;
    case ID_VIEW_FIT_WIDTH:
        SetFitMode(kLvFitWidth);
        return true;
    case ID_VIEW_FIT_HEIGHT:
        SetFitMode(kLvFitHeight);
        return true;
    case ID_VIEW_FIT_SCREEN:
        SetFitMode(kLvFitScreen);
        return true;
    default:
        break;
    }
    if (const ToolCommand* tool = FindToolCommand(id)) {
        m_toolMode = tool->tool;
        return true;
    }
    if (const LvParamDialog* dialog = LvFindParamDialog(id)) {
        RunParamDialog(*dialog);
        return true;
    }
    int command = 0;
    LvOpParams params;
    if (LvWorkerCommandFor(id, command, params)) {
        StartWorker(command, params);
        return true;
    }
    if (const LvOperation* op = LvFindMenuOperation(id)) {
        RunDirect(*op);
        return true;
    }
    return false;
}

void CLvDoc::SetZoom(float zoom) {
    m_zoom = zoom;
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
}

void CLvDoc::SetFitMode(int mode) {
    m_fitMode = mode;
    if (Frame()) Frame()->SetFitModeForNew(mode);
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
}

void CLvDoc::RunDirect(const LvOperation& op) {
    if (!m_image) return;
    LvOpParams params;
    if (!LvDirectParams(op, *m_image, params)) return;
    RunDirect(op, params);
}

void CLvDoc::RunDirect(const LvOperation& op, const LvOpParams& params) {
    if (!m_image) return;
    // The last command's progress watcher may still read the picture that the snapshot below can drop.
    JoinThreads();
    const bool wasModified = IsModified();
    const CLvImage* snapshot = nullptr;
    try {
        snapshot = m_undo.Submit(m_image.get(), m_pixelHistory);
    } catch (const std::exception&) {
        snapshot = nullptr;
    }
    if (!snapshot) {
        ShowOutOfMemory();
        return;
    }
    NotePixelChange(op.commandId);
    if (!RunGuarded(&op, 0, params, *m_image)) {
        TakeBackFailedCommand(wasModified);
        UpdateAllViews(nullptr, WM_DOC_REFRESH);
        ShowOutOfMemory();
        return;
    }
    // The picture changed: the document must ask before it closes.
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
}

LvOpContext CLvDoc::CommandContext() {
    LvOpContext context;
    if (CMainFrame* frame = Frame()) context.foreground = frame->Foreground();
    context.auxImage = &m_auxImage;
    return context;
}

void CLvDoc::RunParamDialog(const LvParamDialog& dialog) {
    const LvOperation* op = LvFindOperation(dialog.operation);
    CLumivueApp* app = CLumivueApp::Get();
    if (!CanRunCommands() || !op || !app) return;
    CLvEffectConfig config(dialog.effect);
    config.Read(app->Settings());
    if (dialog.command == ID_PHOTO_FEATHER) config.SetRange("Radius", 1, LvFeatherLimit(*m_image));
    LvOpContext context = CommandContext();
    context.auxImage = nullptr;
    CLvParamDlg box(dialog, config, DisplayImage(), context, m_toolMode);
    if (box.DoModal(FrameHwnd()) != IDOK) return;
    config.Write(app->Settings());
    LvArgValue args[4];
    LvDialogArgs(dialog, config, m_toolMode, args);
    LvOpParams params;
    std::string error;
    if (!LvEncodeOperation(*op, args, m_image.get(), params, error)) {
        Message(error);
        return;
    }
    if (op->input == kLvInputPicture && !m_auxImage.Copy(box.Picture())) return;
    if (op->direct)
        RunDirect(*op, params);
    else
        StartWorker(op->commandId, params);
}

bool CLvDoc::WalkTo(int index) {
    m_fileIndex = index;
    const std::string path = m_folder + m_folderFiles[size_t(index)];
    ReleaseImage();
    const bool loaded = LoadFile(path);
    UpdateAllViews(nullptr, WM_DOC_REFRESH);
    return loaded && m_image && m_image->IsValid();
}

void CLvDoc::OnEditCopy() {
    if (!m_image) return;
    CLvImage cropped;
    const CLvImage* source = m_image.get();
    LvOpParams box;
    if (LvCropParamsFromSelection(*m_image, box) && m_image->Crop(box.p[0], box.p[1], box.p[2], box.p[3], &cropped) &&
        cropped.IsValid())
        source = &cropped;
    ScopedGlobal block(source->CopyToHandle());
    bool ok = false;
    if (OpenClipboard(FrameHwnd())) {
        EmptyClipboard();
        if (block.Get() && SetClipboardData(CF_DIB, block.Get())) {
            block.Release(); // the clipboard owns it now
            ok = true;
        }
        CloseClipboard();
    }
    if (!ok) Message("Unable to set Clipboard data");
}

void CLvDoc::OnFileSendMail() {
    if (!CanRunCommands()) return;
    const DWORD format = LvCanSaveFormat(m_image->GetFormat()) ? m_image->GetFormat() : DWORD(LVFMT_BMP);
    const std::string name = LvMailAttachmentName(GetTitle(), format);
    // A folder of its own, so that the attachment keeps the document's name.
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH + 1, temp)) return;
    std::wstring folder;
    for (unsigned n = GetTickCount(), tries = 0; tries < 100; n++, tries++) {
        folder = std::wstring(temp) + L"Lumivue mail " + std::to_wstring(n);
        if (CreateDirectoryW(folder.c_str(), nullptr)) break;
        folder.clear();
    }
    if (folder.empty()) {
        Message("Can't create a temporary folder for the mail.");
        return;
    }
    const std::string path = LvWideToUtf8(folder) + "\\" + name;
    const DWORD saveFormat = LvSaveFormatOfPath(name);
    if (m_image->Encode(path.c_str(), saveFormat)) {
        std::string error;
        if (!FwSendMail(FrameHwnd(), path, name, error) && !error.empty()) Message(error);
    } else {
        ShowWriteError(*m_image);
    }
    DeleteFileW(LvUtf8ToWide(path).c_str());
    RemoveDirectoryW(folder.c_str());
}

void CLvDoc::OnDuplicate() {
    CLumivueApp* app = CLumivueApp::Get();
    if (!app || !app->m_pDocTemplate || !m_image) return;
    CLvDoc* doc = dynamic_cast<CLvDoc*>(app->m_pDocTemplate->OpenDocumentFile(nullptr));
    if (!doc) return;
    doc->m_image.reset(new CLvImage(*m_image, true, true, true));
    doc->SetTitle(LvDuplicateTitle(app->m_duplicateCount++, GetTitle()));
    doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
}

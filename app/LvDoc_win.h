#pragma once

#include "app/LvParamDialogs.h"

#include "app/LvUndoStack.h"
#include "effects/LvOperations.h"
#include "formats/LvCameraData.h"
#include "formats/LvExif.h"
#include "framework/FwDocument.h"
#include "view/LvViewGeometry.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// The document: one current image, its undo store, the command worker and its progress watcher, the
// stopwatch, the view state (zoom, fit mode, mouse tool, selection outline) and the image files of its folder.
class CLvDoc : public CFwDocument {
public:
    CLvDoc();
    ~CLvDoc() override;

    // ---- open, save, frames ----
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool LoadFile(const std::string& path);
    bool OnSaveDocument(const std::string& path) override;
    bool DoSave(const char* path, bool replace = true) override;
    void ScanFolder(const std::string& folder);

    // ---- commands, undo, worker ----
    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;
    // Keeps the picture and what had happened to it for undo, then notes the change that command (0: a
    // change outside the command table) is about to make.
    void SubmitUndo(int command = 0);
    void OnEditUndo();
    void OnEditRedo();
    void StopWatch(int mode);
    void UpdateStatusBar();
    // Cancels a running command, waits for its threads (handling the messages they send meanwhile), frees
    // the image and every undo snapshot, zoom back to 1.
    void ReleaseImage();
    bool IsBusy() const { return m_workerThread.load() != nullptr; }
    // The image the window may show: the current one, or while a command runs the snapshot taken before it
    // (the worker owns the current one then); null when there is nothing to show.
    const CLvImage* DisplayImage() const;
    // Whether the image commands' rule A holds: an image and no running command.
    bool CanRunCommands() const { return !IsBusy() && m_image && m_image->IsValid(); }
    // Starts a worker command with its parameters.
    void StartWorker(int command, const LvOpParams& params);
    // What the commands paint with: the colour bar's foreground colour, and the pattern or frame picture.
    LvOpContext CommandContext();
    // The end of a worker command, on the interface thread (the view's WM_DOC_REFRESH): a command that ran
    // out of memory is taken back and the user told.
    void OnCommandDone();
    // A new fit mode (the one new pictures start in from now on) or zoom, shown in every view.
    void SetFitMode(int mode);
    void SetZoom(float zoom);

    std::unique_ptr<CLvImage> m_image;
    std::atomic<HANDLE> m_workerThread{nullptr};   // busy mark: set while a command runs
    std::atomic<HANDLE> m_progressThread{nullptr}; // set while the progress watcher runs
    int m_command = 0;
    LvOpParams m_param;
    LvUndoStack m_undo;
    int64_t m_swStart = 0, m_swEnd = 0, m_swFrequency = 0;
    std::atomic<float> m_elapsed{0.0f}; // written by the worker, shown by the interface thread
    CLvImage m_auxImage;
    int m_toolMode = kLvToolMove; // an LvMouseTool
    float m_zoom = 1.0f;
    int m_fitMode = kLvFitSize;
    float m_fitFactor = 1.0f;
    std::vector<LvPoint> m_selPoints; // selection outline, image columns and top-down rows

    std::string m_filePath;
    std::string m_folder;
    std::vector<std::string> m_folderFiles;
    int m_fileIndex = -1;
    ExifInfo m_exif{}; // all zero until a JPEG file is loaded
    // The camera data of the JPEG photo the picture came from, carried into the JPEG files saved from it, the
    // photo's file as read (a picture only turned is saved by turning it without loss), and what happened to
    // the pixels since it was read. Undo and redo bring back each picture's own history.
    LvCameraData m_cameraData;
    std::vector<uint8_t> m_sourceJpeg;
    LvPixelHistory m_pixelHistory;
    // A command is about to change the picture.
    void NotePixelChange(int command);

    // ---- photo information: EXIF report, thumbnail, time stamp, watermark (LvDocPhotoInfo_win.cpp) ----
    bool OnUpdatePhotoInfoCommand(CFwCmdUI& ui);
    bool OnPhotoInfoCommand(int id);
    void OnExifInformation();
    void OnThumbnail();
    void OnTimeStamp();
    void OnWatermarkEmbed();
    void OnWatermarkDetect();
    LOGFONTW m_stampFont{};
    COLORREF m_stampColor = RGB(255, 0, 0);
    std::string m_stampText;

    // ---- desktop: the wallpaper commands and the slide show's pictures (LvDocDesktop_win.cpp) ----
    bool OnUpdateDesktopCommand(CFwCmdUI& ui);
    bool OnDesktopCommand(int id);
    void OnSetWallpaper(int style);
    // Shows a file of the folder as the folder walk does, but quietly and with its first frame only: false
    // when it cannot be read.
    bool ShowSlide(const std::string& name);
    std::vector<std::string> m_slideFiles; // the slide list: the folder's files in the show's order
    bool m_showingSlides = false;

protected:
    void PreCloseDocument() override;

private:
    static unsigned __stdcall CommandWorker(void* arg);
    static unsigned __stdcall ProgressWatcher(void* arg);
    // Shows the folder file at index; false when it could not be read.
    bool WalkTo(int index);
    void OnEditCopy();
    void OnDuplicate();
    // Sends the picture by mail: written under the document's title to a temporary folder and attached.
    void OnFileSendMail();
    void RunDirect(const LvOperation& op);
    void RunDirect(const LvOperation& op, const LvOpParams& params);
    // A command with a parameter dialog: the dialog preset from the stored values, the values kept after OK,
    // the command run with them.
    void RunParamDialog(const LvParamDialog& dialog);
    // Waits for the previous command's threads to be gone and closes their handles.
    void JoinThreads();

    // Runs an operation on the image; false when memory ran out on the way (the picture may be half changed).
    bool RunGuarded(const LvOperation* op, int command, const LvOpParams& params, CLvImage& image);
    // Puts the picture back as it was before the last snapshot and forgets the snapshot.
    void TakeBackFailedCommand(bool wasModified);

    enum { kNoFault, kFaultNoUndoMemory, kFaultRanOutOfMemory };
    std::atomic<int> m_commandFault{kNoFault}; // what went wrong in the worker, read at its end
    bool m_modifiedBeforeCommand = false;
    HANDLE m_workerHandle = nullptr;               // owned handle of the last worker
    std::atomic<HANDLE> m_progressHandle{nullptr}; // owned handle of the last watcher
    std::atomic<const CLvImage*> m_busySnapshot{nullptr};
    LvPixelHistory m_historyBeforeWorker;   // what the worker's undo snapshot keeps
    std::atomic<HWND> m_notifyWnd{nullptr}; // the first view's window, where the watcher reports
    // Set when the watcher is to finish at once (its command is over and the next one waits), so that it
    // does not sleep out its interval.
    HANDLE m_watcherWake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Called with the image just before a command's operation runs; tests make it fail there. Null: nothing.
typedef void (*LvCommandHook)(CLvImage& image);
void LvSetCommandHook(LvCommandHook hook);
// The message box of a command, an open or a paste that ran out of memory.
void LvShowOutOfMemory();

// The wait of the interface thread for a thread of a document: messages sent to its windows meanwhile (the
// watcher's) are handled, so that neither side waits for the other.
void LvWaitHandlingSentMessages(HANDLE handle);

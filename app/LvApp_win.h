#pragma once

#include "app/LvRegistrySettings_win.h"
#include "framework/FwApp_win.h"

#include <string>

class CMainFrame;

// The application: single instance with the hand-off of a file, the settings key, the one document template,
// the main window, the command line, File Open, Close All and the About box.
class CLumivueApp : public CFwApp {
public:
    CLumivueApp();
    ~CLumivueApp() override;
    static CLumivueApp* Get() { return static_cast<CLumivueApp*>(CFwApp::Get()); }

    bool InitInstance() override;
    int ExitInstance() override;
    // The raw command line after the program's name (set before InitInstance; the program takes it from the
    // process, the tests give their own).
    void SetCommandLine(const std::string& commandLine) { m_commandLine = commandLine; }
    // The name the mutex and the window property carry: the executable's name.
    void SetInstanceName(const std::string& name) { m_instanceName = name; }
    const std::string& InstanceName() const { return m_instanceName; }
    CMainFrame* Frame() const;
    // The program's settings in its registry key.
    CLvSettings& Settings() { return m_settings; }
    bool DoPromptFileName(std::string& name, const char* title, DWORD flags, bool open, int& format);
    // Opens the file a second instance left in the settings.
    void OnShareDocument();
    void OnCloseAll();
    void OnAbout();

    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;
    bool PreTranslateMessage(MSG& msg) override;
    // Downloads a picture from an address (asked for when empty) into new documents (acquire/LvDownload_win.cpp).
    void OnDownloadFromUrl(const std::string& address);

    HANDLE m_hMutex = nullptr;
    CFwDocTemplate* m_pDocTemplate = nullptr;
    int m_duplicateCount = 1;
    int m_imageCounter = 1;

protected:
    void OnFileOpen() override;

private:
    // Walks the top-level windows for the other instance's main window; hands it the command line.
    bool HandOffToRunningInstance();
    std::string m_commandLine;
    CLvRegistrySettings m_settings{*this};
    std::string m_instanceName = "Lumivue.exe";
};

// Fills the image-command popups of a menu from the operation table, in front of its Color popup.
void LvAddImageCommandMenus(HMENU menu);

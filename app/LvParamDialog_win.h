#pragma once

#include "app/LvEffectConfig.h"
#include "app/LvParamDialogs.h"
#include "framework/FwDialog_win.h"

// The parameter dialog of an image command, built from its description: the controls show and set the
// effect's values, and every change runs the command's operation on a preview copy of the picture.
class CLvParamDlg : public CFwDialog {
public:
    // image: the picture the command is for (its preview is made from it), may be null. context: the
    // foreground colour the operations paint with. toolMode: the document's mouse tool.
    CLvParamDlg(const LvParamDialog& dialog, CLvEffectConfig& config, const CLvImage* image, const LvOpContext& context,
                int toolMode);
    // The pattern or frame picture chosen in a picture dialog; empty in the others.
    const CLvImage& Picture() const { return m_picture; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnOK() override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void InitControl(const LvDialogControl& control);
    void ShowSlider(const LvDialogControl& control);
    void OnScroll(HWND bar, int code, int position);
    // Reads an edit field into its value; false when its text is not a number of the field's range.
    bool ReadEdit(const LvDialogControl& control, bool report);
    void EditChanged(const LvDialogControl& control);
    void ShowResizeMode();
    void KeepRatio(int editedId);
    void LoadPicture();
    void UpdatePreview();
    void DrawPreview(const DRAWITEMSTRUCT& item);
    void DrawMapping(HDC hdc, const RECT& area);
    const LvDialogControl* Control(int id, LvControlKind kind) const;
    static LRESULT CALLBACK CompareButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                              DWORD_PTR data);

    const LvParamDialog& m_dialog;
    CLvEffectConfig& m_config;
    const CLvImage* m_image;
    LvOpContext m_context;
    int m_toolMode;
    const LvOperation* m_op = nullptr;
    CLvImage m_source;  // the picture at the preview's size
    CLvImage m_shown;   // the operation's result on it
    CLvImage m_picture; // the chosen pattern or frame
    double m_scale = 1.0;
    bool m_comparing = false;
    bool m_settingText = false; // edits changed by the dialog itself
};

// Reads a picture the program carries (a PNG resource) into image.
bool LvLoadResourcePicture(int resource, CLvImage& image);

#include "framework/FwDocument.h"

#include <algorithm>

std::string FwFileTitle(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void CFwDocument::SetTitle(const std::string& title) {
    m_title = title;
    if (m_env) m_env->DocumentTitleChanged(*this);
}

void CFwDocument::SetPathName(const std::string& path, bool addToRecent) {
    m_pathName = path;
    SetTitle(FwFileTitle(path));
    if (addToRecent && m_env && !path.empty()) m_env->AddToRecentFiles(path);
}

void CFwDocument::AddView(CFwViewBase* view) {
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void CFwDocument::RemoveView(CFwViewBase* view) {
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end()) return;
    m_views.erase(it);
    if (m_views.empty() && !m_closing) OnCloseDocument(); // deletes this document
}

void CFwDocument::UpdateAllViews(CFwViewBase* sender, long hint) {
    // A view's update may resize windows and so reach other code: iterate over a copy.
    std::vector<CFwViewBase*> views = m_views;
    for (CFwViewBase* view : views)
        if (view != sender) view->OnUpdate(sender, hint);
}

bool CFwDocument::OnNewDocument() {
    m_pathName.clear();
    m_modified = false;
    return true;
}

bool CFwDocument::OnOpenDocument(const std::string&) {
    return false;
}

bool CFwDocument::OnSaveDocument(const std::string&) {
    return false;
}

bool CFwDocument::DoSave(const char* path, bool replace) {
    std::string name = path ? path : m_pathName;
    if (name.empty() || !OnSaveDocument(name)) return false;
    if (replace) {
        SetPathName(name);
        SetModifiedFlag(false);
    }
    return true;
}

bool CFwDocument::SaveModified() {
    if (!m_modified || !m_env) return true;
    switch (m_env->AskSaveChanges(m_title)) {
    case kFwAnswerYes:
        return DoSave(m_pathName.empty() ? nullptr : m_pathName.c_str(), true);
    case kFwAnswerNo:
        return true;
    case kFwAnswerCancel:
        break;
    }
    return false;
}

void CFwDocument::OnCloseDocument() {
    if (m_closing) return;
    m_closing = true;
    PreCloseDocument();
    if (m_env) {
        m_env->CloseDocumentWindows(*this);
        m_env->DeleteDocument(this); // deletes this
    }
}

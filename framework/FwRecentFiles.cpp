#include "framework/FwRecentFiles.h"

#include <cctype>

bool FwSamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void CFwRecentFileList::Add(const std::string& path) {
    if (path.empty() || m_capacity == 0) return;
    for (size_t i = 0; i < m_paths.size(); i++) {
        if (FwSamePath(m_paths[i], path)) {
            m_paths.erase(m_paths.begin() + long(i));
            break;
        }
    }
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > m_capacity) m_paths.resize(m_capacity);
}

void CFwRecentFileList::Remove(size_t index) {
    if (index < m_paths.size()) m_paths.erase(m_paths.begin() + long(index));
}

std::string CFwRecentFileList::ValueName(size_t index) {
    return "File" + std::to_string(index + 1);
}

void CFwRecentFileList::Load(const std::vector<std::string>& stored) {
    m_paths.clear();
    for (const std::string& path : stored) {
        if (path.empty() || m_paths.size() >= m_capacity) continue;
        bool seen = false;
        for (const std::string& p : m_paths)
            seen = seen || FwSamePath(p, path);
        if (!seen) m_paths.push_back(path);
    }
}

std::string CFwRecentFileList::MenuText(size_t index) const {
    std::string text = "&" + std::to_string(index + 1) + " ";
    for (char c : m_paths[index]) {
        text += c;
        if (c == '&') text += '&';
    }
    return text;
}

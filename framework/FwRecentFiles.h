#pragma once

#include <string>
#include <vector>

// The recent-file list: the most recently used path first, each path once (compared without regard to
// case, as Windows names are), at most a fixed number of entries. Stored as the values "File1".."FileN"
// of its settings section.
class CFwRecentFileList {
public:
    explicit CFwRecentFileList(size_t capacity = 9) : m_capacity(capacity) {}
    void Add(const std::string& path);
    void Remove(size_t index);
    size_t Size() const { return m_paths.size(); }
    size_t Capacity() const { return m_capacity; }
    const std::string& operator[](size_t index) const { return m_paths[index]; }
    // The settings value of entry index (0-based): "File1" for the first.
    static std::string ValueName(size_t index);
    // Replaces the list by stored entries in order, skipping empty ones and duplicates.
    void Load(const std::vector<std::string>& stored);
    // The text of a menu item: "&1 name", with ampersands doubled so that they show.
    std::string MenuText(size_t index) const;

private:
    size_t m_capacity;
    std::vector<std::string> m_paths;
};

// Case-insensitive comparison of ASCII letters; other bytes compare as they are.
bool FwSamePath(const std::string& a, const std::string& b);

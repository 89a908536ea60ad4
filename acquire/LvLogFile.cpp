#include "acquire/LvLogFile.h"

#include "image/LvFileExt.h"
#include "image/LvStream.h"

#include <chrono>
#include <ctime>

#ifdef _WIN32
#include "image/LvWideText_win.h"
#include "image/LvWinTypes.h"

#include <share.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool MakeFolder(const std::string& folder) {
#ifdef _WIN32
    return CreateDirectoryW(LvUtf8ToWide(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
#else
    struct stat info;
    return mkdir(folder.c_str(), 0777) == 0 || (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
#endif
}

// Opened for reading and writing, created or emptied; others may read and write it meanwhile.
FILE* OpenShared(const std::string& path) {
#ifdef _WIN32
    return _wfsopen(LvUtf8ToWide(path).c_str(), L"w+b", _SH_DENYNO);
#else
    return fopen(path.c_str(), "w+b");
#endif
}

} // namespace

std::string LvProgramFile() {
#ifdef _WIN32
    wchar_t path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, DWORD(sizeof(path) / sizeof(path[0])));
    return LvWideToUtf8(std::wstring(path, n));
#else
    char path[4096] = {};
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
#endif
}

std::string GetAppDir() {
    const std::string full = LvProgramFile();
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

LvLogTime LvLocalTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millisecond =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local = {};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     millisecond};
}

CLogFile::CLogFile() : m_clock(LvLocalTime) {}

CLogFile::CLogFile(std::function<LvLogTime()> clock, const std::string& folder)
    : m_clock(std::move(clock)), m_folder(folder) {}

CLogFile::~CLogFile() {
    if (m_file) fclose(m_file);
}

bool CLogFile::OpenLog(const std::string& name) {
    if (m_file) {
        // A second run of the same dialog writes the same file again, emptied.
        fclose(m_file);
        m_file = nullptr;
        m_open = 0;
    } else {
        const size_t dot = name.rfind('.');
        const LvLogTime t = m_clock();
        char stamp[32];
        snprintf(stamp, sizeof(stamp), "%04d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
        m_base = (dot == std::string::npos ? name : name.substr(0, dot)) + stamp;
        const std::string folder = m_folder.empty() ? GetAppDir() + kLvPathSeparator + "log" : m_folder;
        if (m_base.find_first_of("\\/") == std::string::npos) m_base = folder + kLvPathSeparator + m_base;
        MakeFolder(folder);
    }
    m_path = m_base + ".log";
    return OpenFile();
}

bool CLogFile::OpenFile() {
    m_file = OpenShared(m_path);
    if (!m_file) {
        m_open = 0;
        return false;
    }
    m_open = 1;
    fseek(m_file, 0, SEEK_END);
    return true;
}

bool CLogFile::WriteLog(const std::string& message) {
    if (!m_open || !m_file) return false;
    const LvLogTime t = m_clock();
    char stamp[64];
    snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day, t.hour, t.minute,
             t.second, t.millisecond);
    fseek(m_file, 0, SEEK_END);
    if (ftell(m_file) > kMaxSize) {
        fclose(m_file);
        m_file = nullptr;
        const size_t slash = m_path.find_last_of("\\/");
        if (slash != std::string::npos) MakeFolder(m_path.substr(0, slash));
        if (!OpenFile()) return false;
    }
    // Write errors are not checked: a log never stops a run.
    const std::string record = stamp + message + ".\r\n";
    fwrite(record.data(), 1, record.size(), m_file);
    fflush(m_file);
    return true;
}

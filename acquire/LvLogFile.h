#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// The local time of a log record, to the millisecond.
struct LvLogTime {
    int year, month, day, hour, minute, second, millisecond;
};

// The time-stamped text log of the batch runs: a file below the program's "log" folder named after the run
// and the minute it was opened ("Batch200405021407.log"), one record a line, started again empty when it
// passes 2 MiB. One thread writes at a time.
class CLogFile {
public:
    CLogFile();
    // A log that reads its time from clock and puts its files below folder instead of the program's own
    // "log" folder (for tests).
    CLogFile(std::function<LvLogTime()> clock, const std::string& folder);
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens (or opens again, emptied) the log of a run; false when the folder or the file cannot be made,
    // and every record is then dropped.
    bool OpenLog(const std::string& name);
    // Appends "YYYY-MM-DD hh:mm:ss.mmm message.\r\n"; false when the log is not open.
    bool WriteLog(const std::string& message);
    bool IsOpen() const { return m_open != 0; }
    const std::string& Path() const { return m_path; }

    // The size past which the log starts again.
    static const long kMaxSize = 2097152;

private:
    bool OpenFile();

    std::string m_path;
    std::string m_base;
    FILE* m_file = nullptr;
    int m_open = 0;
    std::function<LvLogTime()> m_clock;
    std::string m_folder;
};

// The program file's full path, and its folder without a trailing separator.
std::string LvProgramFile();
std::string GetAppDir();
// The local time now.
LvLogTime LvLocalTime();

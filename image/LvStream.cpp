#include "image/LvStream.h"

#include "image/LvSizeCheck.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include "image/LvWideText_win.h"
#include "image/LvWinTypes.h"
#else
#include <unistd.h>
#endif

// ---- file names -----------------------------------------------------------------------------------------

FILE* LvOpenFile(const char* fileName, const char* mode) {
    if (!fileName || !*fileName || !mode) return nullptr;
#ifdef _WIN32
    std::wstring wideName = LvUtf8ToWide(fileName);
    std::wstring wideMode = LvUtf8ToWide(mode);
    if (wideName.empty()) return nullptr;
    return _wfopen(wideName.c_str(), wideMode.c_str());
#else
    return fopen(fileName, mode);
#endif
}

bool LvWriteReplacing(const char* fileName, bool (*write)(CLvStream* stream, void* context), void* context,
                      const char** error) {
    *error = nullptr;
    if (!fileName || !*fileName) return false;
    std::string temporary = std::string(fileName) + ".lvtmp";
    FILE* file = LvOpenFile(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok;
    {
        CLvFileStream stream(file);
        ok = write(&stream, context);
    }
    bool written = fflush(file) == 0 && ferror(file) == 0;
    bool closed = fclose(file) == 0;
    if (ok && !(written && closed)) {
        *error = "Error writing the file";
        ok = false;
    }
    if (ok && !LvReplaceFile(temporary.c_str(), fileName)) {
        *error = "Can't replace the file";
        ok = false;
    }
    if (!ok) LvRemoveFile(temporary.c_str());
    return ok;
}

bool LvReplaceFile(const char* source, const char* target) {
#ifdef _WIN32
    std::wstring from = LvUtf8ToWide(source);
    std::wstring to = LvUtf8ToWide(target);
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return rename(source, target) == 0;
#endif
}

bool LvRemoveFile(const char* fileName) {
#ifdef _WIN32
    return DeleteFileW(LvUtf8ToWide(fileName).c_str()) != 0;
#else
    return unlink(fileName) == 0;
#endif
}

// ---- CLvFileStream --------------------------------------------------------------------------------------

CLvFileStream::CLvFileStream(FILE* file) : m_file(file), m_ownsFile(false) {}

namespace {

// Writers that go back over what they wrote (a multi-page TIFF links each page to the next) read the file
// too: a file made for writing ("wb") is opened for reading as well ("w+b"); it is created and emptied all
// the same.
std::string ReadableMode(const char* mode) {
    std::string m = mode ? mode : "";
    if (!m.empty() && m[0] == 'w' && m.find('+') == std::string::npos) m.insert(1, "+");
    return m;
}

} // namespace

CLvFileStream::CLvFileStream(const char* fileName, const char* mode)
    : m_file(LvOpenFile(fileName, mode ? ReadableMode(mode).c_str() : nullptr)), m_ownsFile(true) {}

CLvFileStream::~CLvFileStream() {
    Close();
}

bool CLvFileStream::Close() {
    if (!m_file) return false;
    bool ok = true;
    if (m_ownsFile) ok = fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

size_t CLvFileStream::Read(void* buffer, size_t size, size_t count) {
    if (!m_file || !buffer) return 0;
    return fread(buffer, size, count, m_file);
}

size_t CLvFileStream::Write(const void* buffer, size_t size, size_t count) {
    if (!m_file || !buffer) return 0;
    return fwrite(buffer, size, count, m_file);
}

bool CLvFileStream::Seek(long offset, int origin) {
    return m_file && fseek(m_file, offset, origin) == 0;
}

long CLvFileStream::Tell() {
    return m_file ? ftell(m_file) : 0;
}

long CLvFileStream::Size() {
    if (!m_file) return -1;
    long position = ftell(m_file);
    if (position < 0 || fseek(m_file, 0, SEEK_END) != 0) return -1;
    long size = ftell(m_file);
    fseek(m_file, position, SEEK_SET);
    return size;
}

bool CLvFileStream::Flush() {
    return m_file && fflush(m_file) == 0;
}

bool CLvFileStream::Eof() {
    return !m_file || feof(m_file) != 0;
}

long CLvFileStream::Error() {
    return m_file ? ferror(m_file) : -1;
}

bool CLvFileStream::PutC(unsigned char c) {
    return m_file && fputc(c, m_file) == int(c);
}

long CLvFileStream::GetC() {
    if (!m_file) return -1;
    int c = getc(m_file);
    return c == EOF ? -1 : c;
}

// ---- CLvMemStream ---------------------------------------------------------------------------------------

CLvMemStream::CLvMemStream() : m_buffer(nullptr), m_position(0), m_length(0), m_capacity(0), m_ownsBuffer(true) {}

CLvMemStream::CLvMemStream(unsigned char* buffer, size_t size, bool ownsBuffer)
    : m_buffer(buffer), m_position(0), m_length(buffer ? size : 0), m_capacity(buffer ? size : 0),
      m_ownsBuffer(ownsBuffer) {}

CLvMemStream::~CLvMemStream() {
    Close();
}

bool CLvMemStream::Close() {
    if (!m_buffer) return false;
    if (m_ownsBuffer) free(m_buffer);
    m_buffer = nullptr;
    m_position = m_length = m_capacity = 0;
    m_ownsBuffer = true;
    return true;
}

// Grows the buffer to hold needed bytes: the capacity rises by the shortfall rounded up to a multiple of
// 4096 bytes. A stream over caller memory moves to a buffer of its own when it has to grow.
bool CLvMemStream::Reserve(size_t needed) {
    if (needed <= m_capacity && m_buffer) return true;
    size_t shortfall = needed > m_capacity ? needed - m_capacity : 1;
    if (shortfall > SIZE_MAX - 4095) return false;
    size_t grow = (shortfall + 4095) / 4096 * 4096;
    if (grow > SIZE_MAX - m_capacity) return false;
    size_t capacity = m_capacity + grow;
    unsigned char* buffer;
    if (m_ownsBuffer) {
        buffer = static_cast<unsigned char*>(realloc(m_buffer, capacity));
    } else {
        buffer = static_cast<unsigned char*>(malloc(capacity));
        if (buffer && m_buffer) memcpy(buffer, m_buffer, m_length);
    }
    if (!buffer) return false;
    m_buffer = buffer;
    m_capacity = capacity;
    m_ownsBuffer = true;
    return true;
}

size_t CLvMemStream::Read(void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || size == 0 || count == 0 || m_position >= m_length) return 0;
    size_t wanted;
    if (!LvMulSize(size, count, &wanted)) wanted = SIZE_MAX;
    size_t left = m_length - m_position;
    size_t n = wanted < left ? wanted : left;
    memcpy(buffer, m_buffer + m_position, n);
    m_position += n;
    return n / size;
}

size_t CLvMemStream::Write(const void* buffer, size_t size, size_t count) {
    if (!buffer || size == 0 || count == 0) return 0;
    size_t bytes, end;
    if (!LvMulSize(size, count, &bytes) || bytes > SIZE_MAX - m_position) return 0;
    end = m_position + bytes;
    if (!Reserve(end)) return 0;
    if (m_position > m_length) memset(m_buffer + m_length, 0, m_position - m_length);
    memcpy(m_buffer + m_position, buffer, bytes);
    m_position = end;
    if (m_position > m_length) m_length = m_position;
    return count;
}

bool CLvMemStream::Seek(long offset, int origin) {
    long long base;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<long long>(m_position);
        break;
    case SEEK_END:
        base = static_cast<long long>(m_length);
        break;
    default:
        return false;
    }
    long long position = base + offset;
    if (position < 0 || position > LONG_MAX) return false;
    m_position = static_cast<size_t>(position);
    return true;
}

long CLvMemStream::Tell() {
    return m_buffer ? static_cast<long>(m_position) : -1;
}

long CLvMemStream::Size() {
    return m_buffer ? static_cast<long>(m_length) : -1;
}

bool CLvMemStream::Flush() {
    return m_buffer != nullptr;
}

bool CLvMemStream::Eof() {
    return !m_buffer || m_position >= m_length;
}

long CLvMemStream::Error() {
    if (!m_buffer) return -1;
    return m_position > m_length ? 1 : 0;
}

bool CLvMemStream::PutC(unsigned char c) {
    return Write(&c, 1, 1) == 1;
}

long CLvMemStream::GetC() {
    if (!m_buffer || m_position >= m_length) return -1;
    return m_buffer[m_position++];
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The byte stream every codec reads and writes: over a C runtime file or a growable memory buffer.
class CLvStream {
public:
    virtual ~CLvStream() {}
    virtual bool Close() = 0;
    // Number of whole items read or written.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: SEEK_SET (0), SEEK_CUR (1) or SEEK_END (2).
    virtual bool Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(unsigned char c) = 0;
    // The byte, or -1 at the end.
    virtual long GetC() = 0;
};

// A stream over a C runtime FILE. It closes the file only when it opened it itself.
class CLvFileStream : public CLvStream {
public:
    explicit CLvFileStream(FILE* file = nullptr);
    // Opens a file by its UTF-8 name (Unicode names work on Windows too).
    CLvFileStream(const char* fileName, const char* mode);
    ~CLvFileStream() override;
    CLvFileStream(const CLvFileStream&) = delete;
    CLvFileStream& operator=(const CLvFileStream&) = delete;

    bool IsOpen() const { return m_file != nullptr; }

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

private:
    FILE* m_file;
    bool m_ownsFile;
};

// A stream over a byte buffer: position, used length and capacity. A stream over caller memory does not
// free it; a stream that allocated its buffer frees it when destroyed.
class CLvMemStream : public CLvStream {
public:
    // An empty stream that allocates on the first write.
    CLvMemStream();
    // A stream over size bytes of caller memory, positioned at 0. When ownsBuffer is true the buffer must
    // come from malloc and the stream frees it.
    CLvMemStream(unsigned char* buffer, size_t size, bool ownsBuffer = false);
    ~CLvMemStream() override;
    CLvMemStream(const CLvMemStream&) = delete;
    CLvMemStream& operator=(const CLvMemStream&) = delete;

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

    const unsigned char* GetBuffer() const { return m_buffer; }
    size_t GetCapacity() const { return m_capacity; }
    size_t GetLength() const { return m_length; }

private:
    bool Reserve(size_t needed);

    unsigned char* m_buffer;
    size_t m_position;
    size_t m_length;
    size_t m_capacity;
    bool m_ownsBuffer;
};

// Opens a file by its UTF-8 name; on Windows the name goes to the C runtime as UTF-16.
FILE* LvOpenFile(const char* fileName, const char* mode);
// Replaces target by source (both UTF-8 names in the same folder); false when it could not.
bool LvReplaceFile(const char* source, const char* target);
// Deletes a file by its UTF-8 name.
bool LvRemoveFile(const char* fileName);

// Writes a file beside the target (its name plus ".lvtmp") and replaces the target only when write returned
// true and everything reached the disk, so that a failed save leaves the existing file as it was. On
// failure *error is the reason when the writing went wrong after write itself succeeded, else null.
bool LvWriteReplacing(const char* fileName, bool (*write)(CLvStream* stream, void* context), void* context,
                      const char** error);

#pragma once

#include "image/LvStream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Little- and big-endian reads from a byte span. A read past the end gives 0 and sets a failure flag that
// stays set, so a header can be parsed field by field and checked once.
class CLvByteReader {
public:
    CLvByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size), m_position(0), m_failed(false) {}

    bool Ok() const { return !m_failed; }
    size_t Position() const { return m_position; }
    size_t Remaining() const { return m_size - m_position; }

    void Skip(size_t n) {
        if (n > Remaining()) {
            m_failed = true;
            m_position = m_size;
        } else {
            m_position += n;
        }
    }
    uint8_t U8() { return Remaining() >= 1 ? m_data[m_position++] : Fail(); }
    uint16_t LE16() {
        if (Remaining() < 2) return Fail();
        const uint8_t* p = m_data + m_position;
        m_position += 2;
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    uint32_t LE32() {
        if (Remaining() < 4) return Fail();
        const uint8_t* p = m_data + m_position;
        m_position += 4;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
    uint16_t BE16() {
        if (Remaining() < 2) return Fail();
        const uint8_t* p = m_data + m_position;
        m_position += 2;
        return static_cast<uint16_t>((p[0] << 8) | p[1]);
    }
    uint32_t BE32() {
        if (Remaining() < 4) return Fail();
        const uint8_t* p = m_data + m_position;
        m_position += 4;
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    }

private:
    uint8_t Fail() {
        m_failed = true;
        return 0;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position;
    bool m_failed;
};

// Little-endian stores into a byte buffer, for writers that build headers.
inline void LvPutLE16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
inline void LvPutLE32(uint8_t* p, uint32_t value) {
    LvPutLE16(p, value);
    LvPutLE16(p + 2, value >> 16);
}

// Buffered byte-at-a-time reading from a stream, for run-length and LZW decoders: one virtual call per
// 64 KiB instead of one per byte.
class CLvStreamReader {
public:
    explicit CLvStreamReader(CLvStream* stream) : m_stream(stream), m_position(0), m_length(0) {}

    // The next byte, or -1 at the end of the stream.
    int GetByte() {
        if (m_position == m_length && !Refill()) return -1;
        return m_buffer[m_position++];
    }

    // Copies n bytes; false when the stream ends first.
    bool Read(uint8_t* out, size_t n) {
        while (n) {
            if (m_position == m_length && !Refill()) return false;
            size_t chunk = m_length - m_position;
            if (chunk > n) chunk = n;
            memcpy(out, m_buffer + m_position, chunk);
            m_position += chunk;
            out += chunk;
            n -= chunk;
        }
        return true;
    }

    // Skips n bytes; false when the stream ends first.
    bool Skip(size_t n) {
        while (n) {
            if (m_position == m_length && !Refill()) return false;
            size_t chunk = m_length - m_position;
            if (chunk > n) chunk = n;
            m_position += chunk;
            n -= chunk;
        }
        return true;
    }

    // Forgets the buffered bytes and moves the stream to a position from its start.
    bool Seek(long position) {
        m_position = m_length = 0;
        return m_stream && m_stream->Seek(position, SEEK_SET);
    }

private:
    bool Refill() {
        m_position = 0;
        m_length = m_stream ? m_stream->Read(m_buffer, 1, sizeof(m_buffer)) : 0;
        return m_length != 0;
    }

    CLvStream* m_stream;
    size_t m_position;
    size_t m_length;
    uint8_t m_buffer[65536];
};

// Bytes left between the stream's position and its end, or -1 when the stream cannot tell.
inline long long LvStreamRemaining(CLvStream* stream) {
    long position = stream->Tell();
    long size = stream->Size();
    if (position < 0 || size < 0) return -1;
    return size >= position ? static_cast<long long>(size) - position : 0;
}

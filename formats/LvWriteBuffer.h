#pragma once

#include "image/LvStream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Collects a writer's output and hands it to the stream in large pieces, so that byte-wise encoders make
// few virtual calls. It remembers whether the stream refused any byte: a full disk is a failed write.
class CLvWriteBuffer {
public:
    explicit CLvWriteBuffer(CLvStream* stream) : m_stream(stream), m_ok(stream != nullptr) {
        m_bytes.reserve(kChunk + 1024);
    }
    CLvWriteBuffer(const CLvWriteBuffer&) = delete;
    CLvWriteBuffer& operator=(const CLvWriteBuffer&) = delete;

    void Put(uint8_t value) {
        m_bytes.push_back(value);
        if (m_bytes.size() >= kChunk) Flush();
    }
    void Put(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
        if (m_bytes.size() >= kChunk) Flush();
    }
    void PutLE16(uint32_t value) {
        Put(static_cast<uint8_t>(value));
        Put(static_cast<uint8_t>(value >> 8));
    }
    void PutLE32(uint32_t value) {
        PutLE16(value);
        PutLE16(value >> 16);
    }

    // Writes what is collected; false once any write has failed.
    bool Flush() {
        if (m_ok && !m_bytes.empty() && m_stream->Write(m_bytes.data(), 1, m_bytes.size()) != m_bytes.size())
            m_ok = false;
        m_bytes.clear();
        return m_ok;
    }

private:
    static const size_t kChunk = 1 << 16;
    CLvStream* m_stream;
    std::vector<uint8_t> m_bytes;
    bool m_ok;
};

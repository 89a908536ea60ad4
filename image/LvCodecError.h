#pragma once

#include <cstring>
#include <new>

// Texts that every codec gives for the same failure.
constexpr const char* kLvErrCancelled = "Cancelled";
constexpr const char* kLvErrNoMemory = "Can't allocate memory";
constexpr const char* kLvErrNoImage = "No image to write";

// The failure a codec raises inside its own Decode or Encode. The codec catches it at its boundary, stores
// the text as the image's last error and returns false; it never leaves the codec.
class CLvCodecError {
public:
    explicit CLvCodecError(const char* text) {
        size_t n = text ? strlen(text) : 0;
        if (n > sizeof(m_text) - 1) n = sizeof(m_text) - 1;
        if (n) memcpy(m_text, text, n);
        m_text[n] = '\0';
    }
    const char* Text() const { return m_text; }

private:
    char m_text[256];
};

[[noreturn]] inline void LvRaise(const char* text) {
    throw CLvCodecError(text);
}

// Runs a codec's Decode or Encode body: a codec error or a failed allocation becomes the image's last-error
// text (allocText for the allocation) and the result false.
template <class Image, class Body>
bool LvCodecGuard(Image& image, const char* allocText, Body body) {
    try {
        return body();
    } catch (const CLvCodecError& e) {
        image.SetLastErrorText(e.Text());
    } catch (const std::bad_alloc&) {
        image.SetLastErrorText(allocText);
    }
    return false;
}

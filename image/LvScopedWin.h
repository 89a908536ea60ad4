#pragma once

// Owners for Win32 GDI and memory handles: each releases its handle on every path and cannot be copied.

#ifdef _WIN32

#include "image/LvWinTypes.h"

#include <string>

// A device context from GetDC, released with ReleaseDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) : m_window(window), m_hdc(GetDC(window)) {}
    ~ScopedGetDC() {
        if (m_hdc) ReleaseDC(m_window, m_hdc);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return m_hdc; }
    explicit operator bool() const { return m_hdc != nullptr; }

private:
    HWND m_window;
    HDC m_hdc;
};

// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
class ScopedMemDC {
public:
    explicit ScopedMemDC(HDC compatibleWith) : m_hdc(CreateCompatibleDC(compatibleWith)) {}
    ~ScopedMemDC() {
        if (m_hdc) DeleteDC(m_hdc);
    }
    ScopedMemDC(const ScopedMemDC&) = delete;
    ScopedMemDC& operator=(const ScopedMemDC&) = delete;
    HDC Get() const { return m_hdc; }
    explicit operator bool() const { return m_hdc != nullptr; }

private:
    HDC m_hdc;
};

// A GDI object (bitmap, font, region, palette) deleted with DeleteObject unless released.
template <class T>
class ScopedGdiObj {
public:
    explicit ScopedGdiObj(T object = nullptr) : m_object(object) {}
    ~ScopedGdiObj() { Reset(); }
    ScopedGdiObj(const ScopedGdiObj&) = delete;
    ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;
    T Get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset(T object = nullptr) {
        if (m_object) DeleteObject(m_object);
        m_object = object;
    }
    // Gives the object to the caller, who deletes it.
    T Release() {
        T object = m_object;
        m_object = nullptr;
        return object;
    }

private:
    T m_object;
};

// Selects an object into a device context and selects the previous one back.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC hdc, HGDIOBJ object)
        : m_hdc(hdc), m_previous(object ? SelectObject(hdc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (m_previous && m_previous != HGDI_ERROR) SelectObject(m_hdc, m_previous);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    bool Ok() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

private:
    HDC m_hdc;
    HGDIOBJ m_previous;
};

// The locked bytes of a global memory block.
class ScopedGlobalLock {
public:
    explicit ScopedGlobalLock(HGLOBAL block) : m_block(block), m_data(block ? GlobalLock(block) : nullptr) {}
    ~ScopedGlobalLock() {
        if (m_data) GlobalUnlock(m_block);
    }
    ScopedGlobalLock(const ScopedGlobalLock&) = delete;
    ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;
    void* Get() const { return m_data; }
    size_t Size() const { return m_data ? GlobalSize(m_block) : 0; }

private:
    HGLOBAL m_block;
    void* m_data;
};

// A global memory block freed with GlobalFree unless released.
class ScopedGlobal {
public:
    explicit ScopedGlobal(HGLOBAL block = nullptr) : m_block(block) {}
    ~ScopedGlobal() {
        if (m_block) GlobalFree(m_block);
    }
    ScopedGlobal(const ScopedGlobal&) = delete;
    ScopedGlobal& operator=(const ScopedGlobal&) = delete;
    HGLOBAL Get() const { return m_block; }
    HGLOBAL Release() {
        HGLOBAL block = m_block;
        m_block = nullptr;
        return block;
    }

private:
    HGLOBAL m_block;
};

// An enhanced metafile deleted with DeleteEnhMetaFile.
class ScopedEnhMetaFile {
public:
    explicit ScopedEnhMetaFile(HENHMETAFILE metafile = nullptr) : m_metafile(metafile) {}
    ~ScopedEnhMetaFile() { Reset(); }
    ScopedEnhMetaFile(const ScopedEnhMetaFile&) = delete;
    ScopedEnhMetaFile& operator=(const ScopedEnhMetaFile&) = delete;
    HENHMETAFILE Get() const { return m_metafile; }
    explicit operator bool() const { return m_metafile != nullptr; }
    void Reset(HENHMETAFILE metafile = nullptr) {
        if (m_metafile) DeleteEnhMetaFile(m_metafile);
        m_metafile = metafile;
    }

private:
    HENHMETAFILE m_metafile;
};

#endif

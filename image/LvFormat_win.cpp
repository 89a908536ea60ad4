#include "image/LvImage.h"

bool CLvImage::LoadFromResource(HRSRC resource, DWORD format, HMODULE module) {
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) {
        SetLastErrorText("Unable to load resource!");
        return false;
    }
    void* bytes = LockResource(loaded);
    if (!bytes) return false;
    // Resources are read-only memory: the stream only reads from it and never frees it.
    CLvMemStream stream(static_cast<unsigned char*>(bytes), size, false);
    return Decode(&stream, format);
}

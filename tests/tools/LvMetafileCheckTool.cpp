// lv-metafile-check FILE...: says for each WMF or EMF file whether the record check accepts it, and names
// the first record it refuses. A help for finding out why a real file is refused.
#include "formats/LvCodecWMF.h"
#include "image/LvCodecError.h"
#include "image/LvStream.h"

#include <cstdio>
#include <vector>

namespace {

bool ReadFile(const char* name, std::vector<uint8_t>& bytes) {
    FILE* f = fopen(name, "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return true;
}

uint32_t LE32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size()
               ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24
               : 0;
}

} // namespace

int main(int argc, char** argv) {
    int refused = 0;
    for (int i = 1; i < argc; i++) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(argv[i], bytes)) {
            printf("%s: cannot read\n", argv[i]);
            refused++;
            continue;
        }
        bool placeable = LE32(bytes, 0) == 0x9AC6CDD7;
        std::vector<uint8_t> records(bytes.begin() + (placeable && bytes.size() >= 22 ? 22 : 0), bytes.end());
        LvMetafileFault fault;
        bool ok = LE32(records, 0) == 1 ? CLvCodecWMF::CheckEmfRecords(records, &fault)
                                        : CLvCodecWMF::CheckWmfRecords(records, &fault);
        // The whole reader too: the header rules come before the records.
        CLvMemStream stream(bytes.data(), bytes.size());
        LvMetafile metafile;
        const char* readError = nullptr;
        try {
            CLvCodecWMF::ReadMetafile(&stream, metafile);
        } catch (const CLvCodecError& e) {
            readError = e.Text();
        }
        if (ok && !readError) {
            printf("%s: ok\n", argv[i]);
            continue;
        }
        refused++;
        if (ok)
            printf("%s: records ok, reader says \"%s\"\n", argv[i], readError);
        else
            printf("%s: refused at offset %zu, record type 0x%X (%u), record size %u\n", argv[i], fault.offset,
                   fault.type, fault.type, LE32(records, fault.offset + (LE32(records, 0) == 1 ? 4 : 0)));
    }
    return refused ? 1 : 0;
}

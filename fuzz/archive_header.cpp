// Fuzz target: ".saf" archive headers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "data/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (!file)
        return 0;
    std::vector<ArchiveMember> members;
    if (archive_read_header(file, &members)) {
        uint64_t end = 0;
        for (const ArchiveMember &m : members) {
            if (m.offset < end || (uint64_t)m.offset + m.size > UINT32_MAX)
                abort();  // offsets must follow each other without overlap
            end = (uint64_t)m.offset + m.size;
        }
    } else if (!members.empty()) {
        abort();  // a rejected archive yields nothing
    }
    fclose(file);
    return 0;
}

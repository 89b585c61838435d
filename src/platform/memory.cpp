// The process working-set setting applied when a race is prepared.
#include <unistd.h>

#include "platform/log.h"

static const unsigned long long MIB = 1024ull * 1024;

bool working_set_range(unsigned long long physical_bytes, unsigned *minimum, unsigned *maximum)
{
    if (physical_bytes < 64 * MIB)
        return false;
    unsigned long long top = physical_bytes < 2048 * MIB ? physical_bytes : 2048 * MIB;
    unsigned long long most = top - 32 * MIB;
    unsigned long long least = most < 1024 * MIB ? most : 1024 * MIB;
    *minimum = (unsigned)least;
    *maximum = (unsigned)most;
    return true;
}

void set_working_set()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) {
        vark_log("Working set left alone - physical memory size unknown\n");
        return;
    }
    unsigned minimum = 0, maximum = 0;
    if (!working_set_range((unsigned long long)pages * (unsigned long long)page_size, &minimum, &maximum)) {
        vark_log("Working set left alone - less than 64 MB physical memory\n");
        return;
    }
    vark_log("Setting working set range to %u - %u\n", minimum, maximum);
    // Linux keeps no per-process working-set range, so nothing was set.
    vark_log("Working set update failed\n");
}

// Fuzz target: the header-less model format (and whatever the header peek makes of it).
#include "model_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz_model("", data, size);
}

// Fuzz target: QM2 model files: the input follows the header word.
#include "model_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz_model("QM2 ", data, size);
}

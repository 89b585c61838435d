// Fuzzes the ".shp" collision shape reader.
#include <cstddef>
#include <cstdint>

#include "sim/shape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CollisionShape shape;
    shape.bounding_radius = 0;
    parse_shape_text(reinterpret_cast<const char *>(data), size, &shape);
    return 0;
}

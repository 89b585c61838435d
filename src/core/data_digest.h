// Digests of the data set this game was built with (generated at build time).
#pragma once

// SHA-1 of the first MiB of "zzzz.saf", 40 lower-case hex digits.
extern const char data_set_digest[41];
// SHA-1 over the fixed shape files below, concatenated in this order.
extern const char fixed_file_digest[41];

// Shape files whose digest tells whether the rider uses the shipped collision shapes.
inline constexpr const char *fixed_shape_files[7] = {
    "generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp", "generic_swingarm.shp",
    "front_wheel.shp",   "rear_wheel.shp",         "generic_rider.shp",
};

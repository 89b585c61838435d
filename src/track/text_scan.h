// Number reading for the track's line-oriented text files: decimal reals and
// integers with the syntax of the data streams' formatted reader.
#pragma once

// Skips blanks, then reads a real (sign, digits, point, digits, exponent).
// On success stores it, advances *text past it and returns true.
bool scan_real(const char **text, float *value);
// The same for a decimal integer (sign and digits; wraps like the stream reader).
bool scan_int(const char **text, int *value);
// Skips blanks, tabs and line ends.
const char *skip_space(const char *text);
// Reads " [ %f %f %f ] " (count numbers in brackets); true when all were read.
bool scan_bracket(const char **text, float *values, int count);

// Small vector helpers of the simulation (double precision, plain arrays).
#pragma once
#include <cmath>

inline double clampd(double x, double lo, double hi)
{
    return x < lo ? lo : (x > hi ? hi : x);
}
inline double dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline void cross3(const double a[3], const double b[3], double out[3])
{
    double x = a[1] * b[2] - a[2] * b[1];
    double y = a[2] * b[0] - a[0] * b[2];
    double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x, out[1] = y, out[2] = z;
}
inline void sub3(const double a[3], const double b[3], double out[3])
{
    out[0] = a[0] - b[0], out[1] = a[1] - b[1], out[2] = a[2] - b[2];
}
inline void add3(const double a[3], const double b[3], double out[3])
{
    out[0] = a[0] + b[0], out[1] = a[1] + b[1], out[2] = a[2] + b[2];
}
inline void scale3(const double a[3], double s, double out[3])
{
    out[0] = a[0] * s, out[1] = a[1] * s, out[2] = a[2] * s;
}
inline void copy3(const double *a, double out[3])
{
    out[0] = a[0], out[1] = a[1], out[2] = a[2];
}
inline void copy3f(const float *a, double out[3])
{
    out[0] = a[0], out[1] = a[1], out[2] = a[2];
}
inline double length3(const double a[3])
{
    return sqrt(dot3(a, a));
}
// Scales `v` to unit length (a zero vector stays zero); returns its length.
inline double normalise3(double v[3])
{
    double length = length3(v);
    if (length > 0)
        v[0] /= length, v[1] /= length, v[2] /= length;
    return length;
}
inline double sign_of(double x)
{
    return x < 0 ? -1.0 : 1.0;
}

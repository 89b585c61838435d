// stream_scanf: the sscanf conversions over a data stream, with the
// differences text-file readers rely on (see the comments below).
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>

#include "data/stream.h"

constexpr int scanf_default_width = 1000000;  // integers and scan sets
constexpr int scanf_unbounded = INT_MAX;      // strings and reals, as in sscanf
constexpr int real_digits_max = 40;           // beyond long double precision anyway
constexpr int exponent_max = 100000;          // far past overflow and underflow

struct Reader {
    DataStream *stream;
    int consumed;  // characters taken by this call and not given back
};

static int get(Reader *r)
{
    int c = stream_getc(r->stream);
    if (c >= 0)
        r->consumed++;
    return c;
}

static void unget(Reader *r, int c)
{
    if (c < 0)
        return;
    r->stream->pushback = c;
    r->consumed--;
}

// Skips white space; the first other character, already given back, or -1.
static int skip_space(Reader *r)
{
    int c;
    do
        c = get(r);
    while (c >= 0 && isspace(c));
    unget(r, c);
    return c;
}

// Digits run 0-9, then a-z and A-Z both for 10 to 35.
static int digit_value(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

enum Length { LEN_NONE, LEN_HH, LEN_H, LEN_L, LEN_LL };

enum Outcome { OUT_STORED, OUT_MISMATCH, OUT_END };

// Integers: sign, prefix for base 0, digits below the base; accumulated in 32
// bits with wrap-around (unsigned, so the wrap is defined).
static Outcome scan_integer(Reader *r, int base, int width, uint32_t *value, bool *negative)
{
    if (skip_space(r) < 0)
        return OUT_END;
    int c = get(r);
    *negative = false;
    if (c == '+' || c == '-') {
        *negative = c == '-';
        if (--width == 0)
            return OUT_MISMATCH;
        c = get(r);
        if (c < 0)
            return OUT_END;
    }
    bool digits = false;
    if (base == 0) {
        if (c == '0') {
            digits = true;
            base = 8;
            if (--width > 0) {
                c = get(r);
                if (c == 'x' || c == 'X') {
                    base = 16;
                    digits = false;
                    c = --width > 0 ? get(r) : -1;
                }
            } else {
                c = -1;
            }
        } else {
            base = 10;
        }
    }
    uint32_t v = 0;
    while (c >= 0 && width > 0) {
        int d = digit_value(c);
        if (d >= base)
            break;
        v = v * (uint32_t)base + (uint32_t)d;
        digits = true;
        if (--width > 0)
            c = get(r);
        else
            c = -1;
    }
    if (c >= 0 && width > 0)
        unget(r, c);
    if (!digits)
        return c < 0 && width > 0 ? OUT_END : OUT_MISMATCH;
    *value = *negative ? 0u - v : v;
    return OUT_STORED;
}

static long double power_of_ten(int exponent)
{
    return powl(10.0L, (long double)exponent);
}

// Reals: sign, digits, point and digits, exponent; the digits accumulate in
// long double and the result is scaled by the power of ten.
static Outcome scan_real(Reader *r, int width, long double *value)
{
    if (skip_space(r) < 0)
        return OUT_END;
    int c = get(r);
    bool negative = false;
    auto next = [&]() { return --width > 0 ? get(r) : -1; };
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
        if (c < 0 && width > 0)
            return OUT_END;
    }
    long double mantissa = 0;
    int scale = 0, significant = 0;
    bool digits = false;
    while (c >= '0' && c <= '9') {
        digits = true;
        if (significant < real_digits_max) {
            mantissa = mantissa * 10 + (c - '0');
            if (mantissa != 0)
                significant++;
        } else {
            scale++;
        }
        c = next();
    }
    if (c == '.') {
        c = next();
        while (c >= '0' && c <= '9') {
            digits = true;
            if (significant < real_digits_max) {
                mantissa = mantissa * 10 + (c - '0');
                scale--;
                if (mantissa != 0)
                    significant++;
            }
            c = next();
        }
    }
    if (!digits) {
        if (c >= 0)
            unget(r, c);
        return c < 0 && width > 0 ? OUT_END : OUT_MISMATCH;
    }
    if (c == 'e' || c == 'E') {
        c = next();
        bool exponent_negative = false;
        if (c == '+' || c == '-') {
            exponent_negative = c == '-';
            c = next();
        }
        int exponent = 0;
        while (c >= '0' && c <= '9') {
            if (exponent < exponent_max)
                exponent = exponent * 10 + (c - '0');
            c = next();
        }
        scale += exponent_negative ? -exponent : exponent;
    }
    if (c >= 0)
        unget(r, c);
    if (scale > 2 * exponent_max)
        scale = 2 * exponent_max;
    if (scale < -2 * exponent_max)
        scale = -2 * exponent_max;
    // Dividing by an exact power keeps more precision than multiplying by an inexact one.
    long double v = scale >= 0 ? mantissa * power_of_ten(scale) : mantissa / power_of_ten(-scale);
    *value = negative ? -v : v;
    return OUT_STORED;
}

// Parses the scan set after "[" into `set`; the format after "]", or null.
static const char *parse_set(const char *f, bool set[256])
{
    bool negate = false;
    if (*f == '^') {
        negate = true;
        f++;
    }
    bool member[256] = {};
    const char *start = f;
    while (*f && (*f != ']' || f == start)) {
        unsigned char lo = (unsigned char)*f;
        if (f[1] == '-' && f[2] && f[2] != ']' && (unsigned char)f[2] >= lo) {
            for (int c = lo; c <= (unsigned char)f[2]; c++)
                member[c] = true;
            f += 3;
        } else {
            member[lo] = true;
            f++;
        }
    }
    if (*f != ']')
        return nullptr;
    for (int c = 0; c < 256; c++)
        set[c] = member[c] != negate;
    return f + 1;
}

static void store_integer(va_list *args, Length length, bool is_signed, uint32_t v)
{
    int32_t s = (int32_t)v;
    switch (length) {
    case LEN_HH:
        *va_arg(*args, signed char *) = (signed char)s;
        break;
    case LEN_H:
        *va_arg(*args, short *) = (short)s;
        break;
    case LEN_L:
        *va_arg(*args, long *) = is_signed ? (long)s : (long)v;
        break;
    case LEN_LL:
        *va_arg(*args, long long *) = is_signed ? (long long)s : (long long)v;
        break;
    default:
        *va_arg(*args, int *) = s;
        break;
    }
}

static int scan(DataStream *stream, const char *f, va_list *args)
{
    Reader reader = {stream, 0};
    Reader *r = &reader;
    int stored = 0;
    // End of the input inside a conversion: what was stored, or -1 for nothing.
    const int ended = -1;
    for (; *f; f++) {
        unsigned char fc = (unsigned char)*f;
        if (isspace(fc)) {
            skip_space(r);
            continue;
        }
        if (fc != '%' || f[1] == '%') {
            // A literal that does not match, or meets the end, fails the whole call.
            if (fc == '%')
                f++;
            int c = get(r);
            if (c != fc) {
                unget(r, c);
                return -1;
            }
            continue;
        }
        f++;
        bool suppress = false;
        if (*f == '*') {
            suppress = true;
            f++;
        }
        int width = 0;
        bool has_width = false;
        while (*f >= '0' && *f <= '9') {
            if (width < scanf_default_width)
                width = width * 10 + (*f - '0');
            has_width = true;
            f++;
        }
        if (has_width && width == 0)
            has_width = false;
        Length length = LEN_NONE;
        if (*f == 'h') {
            length = f[1] == 'h' ? LEN_HH : LEN_H;
            f += length == LEN_HH ? 2 : 1;
        } else if (*f == 'l') {
            length = f[1] == 'l' ? LEN_LL : LEN_L;
            f += length == LEN_LL ? 2 : 1;
        } else if (*f == 'L' || *f == 'q') {
            length = LEN_LL;
            f++;
        }
        char conversion = *f;
        switch (conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            int base = conversion == 'i' ? 0 : conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;
            uint32_t v = 0;
            bool negative = false;
            Outcome o = scan_integer(r, base, has_width ? width : scanf_default_width, &v, &negative);
            if (o == OUT_END)
                return stored ? stored : ended;
            if (o == OUT_MISMATCH)
                return stored;
            if (!suppress) {
                store_integer(args, length, conversion == 'd' || conversion == 'i', v);
                stored++;
            }
            break;
        }
        case 'f': {
            long double v = 0;
            Outcome o = scan_real(r, has_width ? width : scanf_unbounded, &v);
            if (o == OUT_END)
                return stored ? stored : ended;
            if (o == OUT_MISMATCH)
                return stored;
            if (!suppress) {
                if (length == LEN_LL)
                    *va_arg(*args, long double *) = v;
                else if (length == LEN_L)
                    *va_arg(*args, double *) = (double)v;
                else
                    *va_arg(*args, float *) = (float)v;
                stored++;
            }
            break;
        }
        case 's': {
            if (skip_space(r) < 0)
                return stored ? stored : ended;
            char *out = suppress ? nullptr : va_arg(*args, char *);
            int n = has_width ? width : scanf_unbounded;
            int c = 0;
            while (n > 0 && (c = get(r)) >= 0 && !isspace(c)) {
                if (out)
                    *out++ = (char)c;
                n--;
            }
            if (n > 0 && c >= 0)
                unget(r, c);
            if (out) {
                *out = 0;
                stored++;
            }
            break;
        }
        case 'c': {
            char *out = suppress ? nullptr : va_arg(*args, char *);
            int n = has_width ? width : 1;
            for (int i = 0; i < n; i++) {
                int c = get(r);
                if (c < 0)
                    return stored ? stored : ended;
                if (out)
                    out[i] = (char)c;
            }
            if (out)
                stored++;
            break;
        }
        case '[': {
            bool set[256];
            const char *after = parse_set(f + 1, set);
            if (!after)
                return stored;
            f = after - 1;
            char *out = suppress ? nullptr : va_arg(*args, char *);
            int n = has_width ? width : scanf_default_width;
            int taken = 0, c = 0;
            while (taken < n && (c = get(r)) >= 0 && set[c]) {
                if (out)
                    out[taken] = (char)c;
                taken++;
            }
            if (taken < n && c >= 0)
                unget(r, c);
            if (taken == 0)
                return c < 0 ? (stored ? stored : ended) : stored;
            if (out) {
                out[taken] = 0;
                stored++;
            }
            break;
        }
        case 'n':
            if (!suppress) {
                uint32_t v = (uint32_t)r->consumed;
                store_integer(args, length, true, v);
            }
            break;
        default:
            // An unknown conversion (there is no e or g) or a format cut short.
            return stored;
        }
    }
    return stored;
}

int stream_vscanf(DataStream *stream, const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int r = scan(stream, format, &copy);
    va_end(copy);
    return r;
}

int stream_scanf(DataStream *stream, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int r = scan(stream, format, &args);
    va_end(args);
    return r;
}

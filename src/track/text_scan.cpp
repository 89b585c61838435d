// Number reading for the track's line-oriented text files.
#include "track/text_scan.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

const char *skip_space(const char *text)
{
    while (*text && isspace((unsigned char)*text))
        text++;
    return text;
}

bool scan_real(const char **text, float *value)
{
    const char *p = skip_space(*text);
    const char *start = p;
    if (*p == '+' || *p == '-')
        p++;
    int digits = 0;
    while (isdigit((unsigned char)*p))
        p++, digits++;
    if (*p == '.') {
        p++;
        while (isdigit((unsigned char)*p))
            p++, digits++;
    }
    if (!digits)
        return false;
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        if (*q == '+' || *q == '-')
            q++;
        if (isdigit((unsigned char)*q)) {
            while (isdigit((unsigned char)*q))
                q++;
            p = q;
        }
    }
    // Only the checked span goes to strtod, so "inf", "nan" and hexadecimal
    // forms are never accepted.
    std::string number(start, (size_t)(p - start));
    *value = (float)strtod(number.c_str(), nullptr);
    *text = p;
    return true;
}

bool scan_int(const char **text, int *value)
{
    const char *p = skip_space(*text);
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (!isdigit((unsigned char)*p))
        return false;
    uint32_t v = 0;
    while (isdigit((unsigned char)*p))
        v = v * 10 + (uint32_t)(*p++ - '0');
    *value = (int)(negative ? 0u - v : v);
    *text = p;
    return true;
}

bool scan_bracket(const char **text, float *values, int count)
{
    const char *p = skip_space(*text);
    if (*p != '[')
        return false;
    p++;
    for (int k = 0; k < count; k++)
        if (!scan_real(&p, &values[k]))
            return false;
    p = skip_space(p);
    if (*p != ']')
        return false;
    *text = skip_space(p + 1);
    return true;
}

// Platform options: "[name:value]" settings in the VARK_OPTIONS variable.
#include "platform/log.h"

#include <climits>
#include <cstdlib>
#include <cstring>

enum { OPTION_NAME_CHARS = 60 };

// Per process: the value of VARK_OPTIONS, read on first use ("" when unset).
static char *options_text = nullptr;

static const char *options()
{
    if (!options_text) {
        const char *value = getenv("VARK_OPTIONS");
        options_text = strdup(value ? value : "");
        if (!options_text)
            return "";
    }
    return options_text;
}

// The text right after "[name:" of the first setting of `name`, or null.
// `shown` receives the name as searched (cut to 60 characters).
static const char *find_option(const char *name, char shown[OPTION_NAME_CHARS + 1])
{
    size_t length = strnlen(name, OPTION_NAME_CHARS);
    memcpy(shown, name, length);
    shown[length] = 0;
    char key[OPTION_NAME_CHARS + 3];
    key[0] = '[';
    memcpy(key + 1, shown, length);
    key[length + 1] = ':';
    key[length + 2] = 0;
    const char *found = strstr(options(), key);
    return found ? found + length + 2 : nullptr;
}

static bool starts_with(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool vark_option_flag(const char *name, bool default_value)
{
    char shown[OPTION_NAME_CHARS + 1];
    const char *value = find_option(name, shown);
    if (!value)
        return default_value;
    if (starts_with(value, "yes]") || starts_with(value, "on]"))
        return true;
    if (starts_with(value, "no]") || starts_with(value, "off]"))
        return false;
    vark_log("unrecognized setting for %s\n", shown);
    return default_value;
}

int vark_option_int(const char *name, int default_value)
{
    char shown[OPTION_NAME_CHARS + 1];
    const char *value = find_option(name, shown);
    if (!value)
        return default_value;
    const char *p = value;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    if (*p < '0' || *p > '9') {
        vark_log("unrecognized setting for %s\n", shown);
        return default_value;
    }
    // Accumulate toward the negative side so that INT_MIN fits too.
    long long number = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        number = number * 10 - (*p - '0');
        if (number < (long long)INT_MIN) {
            vark_log("unrecognized setting for %s\n", shown);
            return default_value;
        }
    }
    if (!negative) {
        if (-number > INT_MAX) {
            vark_log("unrecognized setting for %s\n", shown);
            return default_value;
        }
        number = -number;
    }
    return (int)number;
}

void vark_options_reset_for_tests()
{
    free(options_text);
    options_text = nullptr;
}

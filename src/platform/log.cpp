// The platform layer's log file and last-error text.
#include "platform/log.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/clock.h"

int debug_level = 0;

static const char LOGFILE_REQUEST[] = "VARK_LOGFILE=";
static const char CONTROL_BYTE = 19;

// Per process: set up by the first message, closed for good by a null format.
struct LogState {
    FILE *file;
    bool initialised;  // the log file has been chosen (or found absent)
    bool closed;       // a null format ended logging for this run
    bool flush;        // commit every message to disk
};

static LogState log_state = {nullptr, false, false, true};
static const char *last_error = "Unknown";
// The audio thread may log too; the lock keeps the file choice and the
// flush mode consistent between threads.
static pthread_mutex_t log_lock = PTHREAD_MUTEX_INITIALIZER;

void format_log_time_stamp(unsigned long long milliseconds, char *text, unsigned long size)
{
    unsigned long long seconds = milliseconds / 1000;
    snprintf(text, size, "[%llu:%02u:%02u.%02u] ", seconds / 3600, (unsigned)(seconds / 60 % 60),
             (unsigned)(seconds % 60), (unsigned)(milliseconds % 1000 / 10));
}

// Writes one message with its time stamp; the caller holds the lock.
static void write_message(const char *text)
{
    if (!log_state.file)
        return;
    long seconds = 0, microseconds = 0;
    vark_time(&seconds, &microseconds);
    char stamp[48];
    format_log_time_stamp((unsigned long long)seconds * 1000 + (unsigned long long)microseconds / 1000, stamp,
                          sizeof stamp);
    fputs(stamp, log_state.file);
    fputs(text, log_state.file);
    if (log_state.flush) {
        fflush(log_state.file);
        fsync(fileno(log_state.file));
    }
}

// Opens the chosen log file: ">" is dropped, ">>" is dropped and appends,
// and VARK_LOGFILE_FLAGS replaces the open mode.
static void open_log_file(const char *name, const char *flags)
{
    const char *mode = "w";
    if (name[0] == '>' && name[1] == '>') {
        name += 2;
        mode = "a";
    } else if (name[0] == '>') {
        name += 1;
    }
    if (flags)
        mode = flags;
    log_state.file = fopen(name, mode);
    log_state.initialised = true;
    char line[64 + 4096];
    snprintf(line, sizeof line, "Logfile \"%s\" opened\n", name);
    write_message(line);
    write_message("VARK 0.31\n");
}

// The formatted text of a message, in `small` when it fits, else in `large`.
static const char *format_message(const char *format, va_list args, char *small, size_t small_size,
                                  std::vector<char> &large)
{
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(small, small_size, format, args);
    const char *text = small;
    if (length < 0) {
        small[0] = 0;
    } else if ((size_t)length >= small_size) {
        large.resize((size_t)length + 1);
        vsnprintf(large.data(), large.size(), format, again);
        text = large.data();
    }
    va_end(again);
    return text;
}

void vark_log(const char *format, ...)
{
    pthread_mutex_lock(&log_lock);
    if (log_state.closed) {
        pthread_mutex_unlock(&log_lock);
        return;
    }
    if (!format) {
        if (log_state.file)
            fclose(log_state.file);
        log_state.file = nullptr;
        log_state.initialised = true;
        log_state.closed = true;
        pthread_mutex_unlock(&log_lock);
        return;
    }

    char small[1024];
    std::vector<char> large;
    va_list args;
    va_start(args, format);
    const char *text = format_message(format, args, small, sizeof small, large);
    va_end(args);

    if (!log_state.initialised) {
        const char *name = getenv("VARK_LOGFILE");
        const char *flags = getenv("VARK_LOGFILE_FLAGS");
        bool request = strncmp(text, LOGFILE_REQUEST, sizeof LOGFILE_REQUEST - 1) == 0;
        if (request && !name)
            name = text + sizeof LOGFILE_REQUEST - 1;
        if (name)
            open_log_file(name, flags);
        log_state.initialised = true;
        if (request) {
            pthread_mutex_unlock(&log_lock);
            return;
        }
    }

    if (text[0] == CONTROL_BYTE) {
        if (strncmp(text + 1, "FLUSH", 5) == 0)
            log_state.flush = true;
        else if (strncmp(text + 1, "NOFLUSH", 7) == 0)
            log_state.flush = false;
    } else {
        write_message(text);
    }
    pthread_mutex_unlock(&log_lock);
}

void vark_error(const char *text)
{
    if (!text)
        text = "Unknown";
    vark_log("Error: %s\n", text);
    last_error = text;
}

const char *vark_last_error()
{
    return last_error;
}

void vark_log_reset_for_tests()
{
    pthread_mutex_lock(&log_lock);
    if (log_state.file)
        fclose(log_state.file);
    log_state = {nullptr, false, false, true};
    last_error = "Unknown";
    pthread_mutex_unlock(&log_lock);
}

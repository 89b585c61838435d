// The on-screen message log and its copy in the log file.
#include "platform/message_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/log.h"

MessageLog message_log;
int message_lines = 5;

static const double MESSAGE_VISIBLE_SECONDS = 2.0;

void post_messagef(const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    post_message(text);
}

void post_message(const char *text)
{
    if (!text)
        text = "";
    size_t length = strlen(text);
    bool ends_in_newline = length > 0 && text[length - 1] == '\n';
    // Coloured text must not leave the terminal coloured when the log is shown there.
    const char *reset = strchr(text, '\x1b') ? "\x1b[0m" : "";
    if (ends_in_newline)
        vark_log("%s%s", text, reset);
    else
        vark_log("%s%s\n", text, reset);

    MessageLog &log = message_log;
    if (log.next < 0 || log.next >= MESSAGE_LOG_LINES)
        log.next = 0;
    size_t kept = length < (size_t)MESSAGE_LINE_CHARS ? length : (size_t)MESSAGE_LINE_CHARS;
    memcpy(log.lines[log.next], text, kept);
    log.lines[log.next][kept] = 0;
    log.next = (log.next + 1) % MESSAGE_LOG_LINES;
    if (log.count < MESSAGE_LOG_LINES)
        log.count++;
    if (log.shown < message_lines)
        log.shown++;

    long seconds = 0, microseconds = 0;
    vark_time(&seconds, &microseconds);
    log.visible_until = (double)seconds + (double)microseconds / 1e6 + MESSAGE_VISIBLE_SECONDS;
}

void clear_message_log()
{
    memset(&message_log, 0, sizeof message_log);
}

const char *message_log_line(int n)
{
    const MessageLog &log = message_log;
    if (n < 0 || n >= log.count || n >= MESSAGE_LOG_LINES)
        return nullptr;
    int index = ((log.next - 1 - n) % MESSAGE_LOG_LINES + MESSAGE_LOG_LINES) % MESSAGE_LOG_LINES;
    return log.lines[index];
}

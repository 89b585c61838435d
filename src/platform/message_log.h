// The on-screen message log: every message the player must see goes through
// post_message, which also writes it to the log file.
#pragma once

enum { MESSAGE_LOG_LINES = 1000, MESSAGE_LINE_CHARS = 127 };

struct MessageLog {
    char lines[MESSAGE_LOG_LINES][MESSAGE_LINE_CHARS + 1];
    int next;             // index of the slot the next message goes into
    int count;            // lines posted so far, at most MESSAGE_LOG_LINES
    int shown;            // lines shown, at most message_lines
    double visible_until; // clock seconds until which messages stay visible
};

// Per process; cleared at start-up.
extern MessageLog message_log;
// Number of lines shown at most (configuration "message_lines").
extern int message_lines;

void post_message(const char *text);
// post_message of printf-formatted text (at most 1023 characters).
void post_messagef(const char *format, ...) __attribute__((format(printf, 1, 2)));
void clear_message_log();
// The n-th newest line (0 = newest), or null beyond what was posted.
const char *message_log_line(int n);

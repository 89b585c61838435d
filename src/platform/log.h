// The platform layer's log file, last-error text and VARK_OPTIONS settings.
#pragma once

// Writes one formatted message to the log. The first message of the process
// chooses the log file (a "VARK_LOGFILE=" request or the VARK_LOGFILE
// variable); a message starting with byte 19 is a flush control. A null
// format closes the log for the rest of the run.
void vark_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Logs "Error: <text>" and keeps the text (which must stay valid) for vark_last_error.
void vark_error(const char *text);
const char *vark_last_error();

// "[name:value]" settings from VARK_OPTIONS; a missing or malformed value gives the default.
bool vark_option_flag(const char *name, bool default_value);
int vark_option_int(const char *name, int default_value);

// Logs the working-set lines for the machine's physical memory (the range
// itself cannot be set on this platform).
void set_working_set();

// Diagnostic level of the run: 0 normal, 1 "--debug", 2 "--super-debug".
// Set once by the command line; read by every layer.
extern int debug_level;

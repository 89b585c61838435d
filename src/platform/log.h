// The platform layer's log file, last-error text and VARK_OPTIONS settings.
#pragma once

// Writes one formatted message to the log. The first message of the process
// chooses the log file (a "VARK_LOGFILE=" request or the VARK_LOGFILE
// variable); a message starting with byte 19 is a flush control. A null
// format closes the log for the rest of the run.
void vark_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Writes the log's time stamp "[h:mm:ss.hh] " for a millisecond clock reading
// into `text` (at least 32 bytes); hours have no limit.
void format_log_time_stamp(unsigned long long milliseconds, char *text, unsigned long size);

// Tests only: closes the log and forgets the file choice, flush mode and last
// error so that the next message chooses the log file again.
void vark_log_reset_for_tests();

// Logs "Error: <text>" and keeps the text (which must stay valid) for vark_last_error.
void vark_error(const char *text);
const char *vark_last_error();

// "[name:value]" settings from VARK_OPTIONS; a missing or malformed value gives the default.
bool vark_option_flag(const char *name, bool default_value);
int vark_option_int(const char *name, int default_value);

// Tests only: forget VARK_OPTIONS so that the next query reads it again.
void vark_options_reset_for_tests();

// Logs the working-set lines for the machine's physical memory (the range
// itself cannot be set on this platform).
void set_working_set();

// The working-set range for `physical_bytes` of memory: false below 64 MiB,
// else maximum = min(physical, 2 GiB) - 32 MiB and minimum = min(1 GiB, maximum).
bool working_set_range(unsigned long long physical_bytes, unsigned *minimum, unsigned *maximum);

// Diagnostic level of the run: 0 normal, 1 "--debug", 2 "--super-debug".
// Set once by the command line; read by every layer.
extern int debug_level;

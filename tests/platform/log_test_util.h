// Log file helpers for the platform tests: a fresh log per test and its text
// without time stamps.
#pragma once
#include <string>
#include <vector>

#include "platform/log.h"
#include "test_util.h"

// Clears the log variables and the log's once-per-run choice.
inline void fresh_log()
{
    set_env("VARK_LOGFILE", nullptr);
    set_env("VARK_LOGFILE_FLAGS", nullptr);
    vark_log_reset_for_tests();
}

// Sends the log to `path` (overwriting it) for the rest of the test.
inline void log_to(const std::string &path)
{
    fresh_log();
    vark_log("VARK_LOGFILE=%s", path.c_str());
}

// The lines of a log file after "[h:mm:ss.hh] ", in order, each with its
// line end. Text that does not start with a time stamp is kept whole.
std::vector<std::string> log_messages(const std::string &text);

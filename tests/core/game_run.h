// Runs the game binary in a child process with its own data and home
// directories, optionally delivering the window's close event (SIGTERM)
// once its log shows a given text, and gives up after a time limit.
#pragma once
#include <string>
#include <vector>

struct GameRunOptions {
    std::string data_dir;              // ZV_HOME; empty leaves it unset (the executable's directory)
    std::string home;                  // XDG_DATA_HOME
    std::string video_driver = "offscreen";
    std::string close_after_log;       // send SIGTERM once "lastlog.txt" holds this text
    std::string stdout_path;           // where standard output goes; empty: /dev/null
    double time_limit = 60;            // seconds until the child is killed
};

struct GameRun {
    int status = -1;                   // exit code, -1 when it did not exit normally
    int signal = 0;                    // the signal that ended it, if one did
    bool timed_out = false;
    bool close_sent = false;
    double seconds_after_close = 0;    // from SIGTERM to exit
    std::string err;                   // standard error
    std::string log;                   // "lastlog.txt" of the home directory after the run
};

GameRun run_game_binary(const char *program, const std::vector<std::string> &args, const GameRunOptions &options);

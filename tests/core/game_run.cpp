// Runs the game binary in a child process; see game_run.h.
#include "game_run.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "test_util.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Closing the window unloads the GL driver, and what it kept for the
// process then looks leaked with no names to suppress it by. The game's
// leak check belongs to the in-process tests, which keep the driver loaded.
void set_sanitizer_environment()
{
    setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
}

} // namespace

GameRun run_game_binary(const char *program, const std::vector<std::string> &args, const GameRunOptions &options)
{
    TempDir scratch;
    std::string err_path = scratch.file("stderr");
    std::string log_path = options.home + "/Zorvex/lastlog.txt";
    auto start = std::chrono::steady_clock::now();

    pid_t child = fork();
    if (child == 0) {
        int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        const char *out = options.stdout_path.empty() ? "/dev/null" : options.stdout_path.c_str();
        int out_fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out_fd, 1);
        if (options.data_dir.empty())
            unsetenv("ZV_HOME");
        else
            setenv("ZV_HOME", options.data_dir.c_str(), 1);
        setenv("XDG_DATA_HOME", options.home.c_str(), 1);
        setenv("SDL_VIDEODRIVER", options.video_driver.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("VARK_LOGFILE");
        unsetenv("VARK_LOGFILE_FLAGS");
        unsetenv("VARK_OPTIONS");
        set_sanitizer_environment();
        std::vector<char *> argv;
        argv.push_back((char *)program);
        for (const std::string &arg : args)
            argv.push_back((char *)arg.c_str());
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }

    GameRun run;
    std::chrono::steady_clock::time_point close_time;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (!run.close_sent && !options.close_after_log.empty() && file_exists(log_path) &&
            read_file_bytes(log_path).find(options.close_after_log) != std::string::npos) {
            kill(child, SIGTERM);
            run.close_sent = true;
            close_time = std::chrono::steady_clock::now();
        }
        if (seconds_since(start) > options.time_limit) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            run.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (run.close_sent)
        run.seconds_after_close = seconds_since(close_time);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.err = read_file_bytes(err_path);
    run.log = file_exists(log_path) ? read_file_bytes(log_path) : std::string();
    return run;
}

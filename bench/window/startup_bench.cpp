// Start-up of the whole tessel process to the end of its window's first paint, on the offscreen
// platform: spawns the program with the first-paint test hook, which prints the monotonic time
// of that moment, and reports the median over the runs. Usage: window_startup_bench [RUNS]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Milliseconds from spawning tessel to its first finished paint; negative on failure.
double OneStart() {
    int output[2];
    if (pipe(output) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    char program[] = TESSEL_PROGRAM;
    char* argv[] = {program, nullptr};

    const long long started = MonotonicNanoseconds();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        return -1;
    }
    std::string text;
    char chunk[64];
    for (ssize_t n; (n = read(output[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
    close(output[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (text.empty()) return -1;
    return static_cast<double>(std::atoll(text.c_str()) - started) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TESSEL_TEST_HOOK", "first-paint", 1);
    // The window claims its working directory as a web directory (station.lock): give it a scratch one.
    char scratch[] = "/tmp/window-startup-bench-XXXXXX";
    if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0) {
        std::fprintf(stderr, "window_startup_bench: cannot make a scratch directory\n");
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = OneStart();
        if (ms < 0) {
            std::fprintf(stderr, "window_startup_bench: run %d failed\n", i);
            return 1;
        }
        times.push_back(ms);
    }
    std::remove((std::string(scratch) + "/station.lock").c_str());
    rmdir(scratch);
    std::sort(times.begin(), times.end());
    std::printf("start-up to first painted window, %d runs: median %.1f ms, min %.1f ms, max %.1f ms "
                "(target <= 300 ms)\n",
                runs, times[times.size() / 2], times.front(), times.back());
    return 0;
}

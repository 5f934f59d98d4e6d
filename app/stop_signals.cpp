#include "app/stop_signals.h"

#include <dirent.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// The parent's pid from /proc/PID/stat: the field after the command name,
// which is in parentheses and may itself hold spaces or parentheses.
pid_t parentOf(const char* pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return -1;
    char line[512];
    const std::size_t n = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[n] = '\0';
    const char* close = std::strrchr(line, ')');
    if (close == nullptr)
        return -1;
    char state = 0;
    int parent = -1;
    if (std::sscanf(close + 1, " %c %d", &state, &parent) != 2)
        return -1;
    return parent;
}

}  // namespace

int killChildProcesses()
{
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return 0;
    const pid_t self = getpid();
    int killed = 0;
    while (const dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        if (parentOf(entry->d_name) != self)
            continue;
        const pid_t child = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
        if (child > 0 && kill(child, SIGKILL) == 0)
            ++killed;
    }
    closedir(proc);
    return killed;
}

StopSignals::StopSignals()
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    // Blocked, a signal waits for sigtimedwait whatever its disposition; the
    // default is restored for the time after the watcher has gone.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    watcher_ = std::thread([this] { watch(); });
}

StopSignals::~StopSignals()
{
    running_.store(false);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void StopSignals::watch()
{
    const sigset_t set = stopSet();
    // Wakes now and then to see whether the owner is going.
    const timespec wake{0, 100'000'000};
    while (running_.load()) {
        const int signo = sigtimedwait(&set, nullptr, &wake);
        if (signo < 0)
            continue;  // EAGAIN (time up) or EINTR
        stopped_.store(true);
        pending_.store(true);
        if (!boxShowing_.load())
            continue;
        killChildProcesses();
        const timespec step{0, 10'000'000};
        for (int waited = 0; waited < kBoxGraceMs && boxShowing_.load(); waited += 10)
            nanosleep(&step, nullptr);
        if (boxShowing_.load()) {
            std::fprintf(stderr, "turfwar: the box did not close on signal %d; ending\n", signo);
            _exit(128 + signo);
        }
    }
}

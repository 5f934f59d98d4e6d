#pragma once
// SIGINT and SIGTERM for the real game. Both are blocked in every thread (so
// a StopSignals is made before any other thread starts) and taken by one
// watcher thread, which keeps them working while a modal box is up: SDL's X11
// box runs in a child process that SDL waits for, retrying through every
// signal, so without this only SIGKILL ended the game and the box outlived it.
//
// A stop outside a box is a close request the frame loop takes at its next
// pump. A stop during a box also kills the box's process (every child of ours
// alive at that moment: the game starts no others), so the box returns at
// once; boxes asked for after a stop are not shown. Should a box still not
// return within kBoxGraceMs (a box drawn in our own process), the process
// ends with status 128 + the signal's number.
//
// Inherited dispositions are overridden: a game started from a script in the
// background would otherwise ignore SIGINT for good.

#include <atomic>
#include <csignal>
#include <thread>

inline constexpr int kBoxGraceMs = 2000;

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // True once for each stop, until taken.
    bool takeStop() { return pending_.exchange(false); }
    // A stop has arrived at some time.
    bool stopped() const { return stopped_.load(); }
    // Around every modal box the game shows.
    void setBoxShowing(bool showing) { boxShowing_.store(showing); }

private:
    void watch();

    sigset_t previousMask_{};
    std::atomic<bool> running_{true};
    std::atomic<bool> pending_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> boxShowing_{false};
    std::thread watcher_;
};

// Sends SIGKILL to every live child of this process; returns how many.
int killChildProcesses();

#pragma once
// What a loader met on its way, for its caller to show: the loaders read and
// decide, the start-up shows. Each message is one error box of the game, in
// the order the loader met it; fatal marks a failure the game does not run
// without (a TGA that cannot be read), after which the loader stopped.

#include <string>
#include <vector>

struct LoadMessage {
    std::string caption;  // empty: the game's own error-box caption
    std::string text;
};

// A line for standard error only, never a box: why a file could not be read,
// where the box (the original's words) does not say.
struct LoadNote {
    std::string file;  // as the game names it, relative to the data folder
    std::string text;  // e.g. "Permission denied"
};

struct LoadReport {
    std::vector<LoadMessage> messages;
    std::vector<LoadNote> notes;
    bool fatal = false;

    void add(std::string caption, std::string text) { messages.push_back({std::move(caption), std::move(text)}); }
    void note(std::string file, std::string text) { notes.push_back({std::move(file), std::move(text)}); }
    // Another load's messages after this one's; fatal if either is.
    void append(const LoadReport& other)
    {
        messages.insert(messages.end(), other.messages.begin(), other.messages.end());
        notes.insert(notes.end(), other.notes.begin(), other.notes.end());
        fatal = fatal || other.fatal;
    }
};

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

struct LoadReport {
    std::vector<LoadMessage> messages;
    bool fatal = false;

    void add(std::string caption, std::string text) { messages.push_back({std::move(caption), std::move(text)}); }
    // Another load's messages after this one's; fatal if either is.
    void append(const LoadReport& other)
    {
        messages.insert(messages.end(), other.messages.begin(), other.messages.end());
        fatal = fatal || other.fatal;
    }
};

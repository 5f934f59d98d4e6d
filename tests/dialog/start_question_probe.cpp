// Asks the start question through the real SDL backend, exactly as the game
// does before it opens its window, and prints the answer on stdout. The
// dialog test runs it on a virtual X display and presses a key in the box.

#include "app/game.h"
#include "app/sdl_platform.h"

#include <cstdio>

int main(int, char**)
{
    SdlPlatform platform;
    const MessageBoxAnswer answer =
        platform.showMessageBox(kStartQuestionText, kStartQuestionCaption, MessageBoxStyle::YesNoQuestion);
    std::printf("%s\n", answer == MessageBoxAnswer::Yes ? "Yes" : answer == MessageBoxAnswer::No ? "No" : "Ok");
    return 0;
}

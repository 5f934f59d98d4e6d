#include "app/error_box.h"

#include "app/platform.h"

#include <cstdio>

namespace {
Platform* errorBoxPlatform = nullptr;
}

void setErrorBoxPlatform(Platform* platform) { errorBoxPlatform = platform; }

int showErrorBox(const char* format, ...)
{
    char text[kErrorBoxBufferSize];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0)
        text[0] = '\0';

    if (errorBoxPlatform == nullptr) {
        std::fprintf(stderr, "%s: %s\n", kErrorBoxCaption, text);
        return 1;
    }
    errorBoxPlatform->showMessageBox(text, kErrorBoxCaption, MessageBoxStyle::OkError);
    return 1;
}

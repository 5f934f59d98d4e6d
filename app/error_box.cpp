#include "app/error_box.h"

#include "app/data_folder.h"
#include "app/platform.h"

#include <cstdio>

namespace {
Platform* errorBoxPlatform = nullptr;
}

void setErrorBoxPlatform(Platform* platform) { errorBoxPlatform = platform; }

namespace {

__attribute__((format(printf, 2, 0)))
int showFormatted(const char* caption, const char* format, va_list args)
{
    char text[kErrorBoxBufferSize];
    const int written = std::vsnprintf(text, sizeof text, format, args);
    if (written < 0)
        text[0] = '\0';

    if (errorBoxPlatform == nullptr) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return 1;
    }
    errorBoxPlatform->showMessageBox(text, caption, MessageBoxStyle::OkError);
    return 1;
}

}  // namespace

int showErrorBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = showFormatted(kErrorBoxCaption, format, args);
    va_end(args);
    return result;
}

int showCaptionedErrorBox(const char* caption, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = showFormatted(caption, format, args);
    va_end(args);
    return result;
}

bool showLoadReport(const LoadReport& report)
{
    printLoadNotes(report.notes);
    for (const LoadMessage& message : report.messages) {
        if (message.caption.empty())
            showErrorBox("%s", message.text.c_str());
        else
            showCaptionedErrorBox(message.caption.c_str(), "%s", message.text.c_str());
    }
    return !report.fatal;
}

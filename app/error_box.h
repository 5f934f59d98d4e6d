#pragma once
// showErrorBox: the modal error message of the game, printf-style. The text is
// cut to 1023 characters. Until the entry point names a platform to show it
// on (setErrorBoxPlatform), the text goes to standard error.

#include "assets/load_report.h"

#include <cstdarg>

class Platform;

// Caption of every error box.
inline constexpr const char* kErrorBoxCaption = "Turfwar";
// Longest text an error box shows, terminator included.
inline constexpr int kErrorBoxBufferSize = 1024;

void setErrorBoxPlatform(Platform* platform);
// Returns 1 once the box is closed (its OK answer).
int showErrorBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same box with another caption (the BMP loader's boxes say "Error").
int showCaptionedErrorBox(const char* caption, const char* format, ...) __attribute__((format(printf, 2, 3)));
// One box for each message a loader met, in order; false when the report is
// fatal (the game does not run without what failed).
bool showLoadReport(const LoadReport& report);

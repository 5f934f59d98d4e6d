#pragma once
// A real GL context for tests that draw or upload: a hidden window on SDL's
// offscreen driver (Mesa), made current for the fixture's lifetime. Error
// boxes shown while it lives are recorded by its platform.

#include "app/error_box.h"
#include "app/headless_platform.h"

#include <gtest/gtest.h>

class OffscreenGl {
public:
    explicit OffscreenGl(int width = 64, int height = 64)
    {
        WindowRequest request;
        request.width = width;
        request.height = height;
        request.title = "test";
        ok_ = platform.createWindow(request);
        setErrorBoxPlatform(&platform);
    }
    ~OffscreenGl() { setErrorBoxPlatform(nullptr); }
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;

    bool ok() const { return ok_; }

    HeadlessPlatform platform;

private:
    bool ok_ = false;
};

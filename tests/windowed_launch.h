#pragma once
// The launch plan of "turfwar --windowed OPTIONS" with no settings file, for
// tests that start the game in process with a few options of their own; a
// plan that ends the game before it starts fails the calling test.

#include "app/launch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

inline Launch windowedLaunch(const std::vector<std::string>& options)
{
    std::vector<std::string> arguments = {"turfwar", "--windowed"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    Launch launch = planLaunch(arguments, std::nullopt);
    EXPECT_FALSE(launch.exitStatus) << launch.err;
    return launch;
}

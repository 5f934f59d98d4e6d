#pragma once
// Runs one of our command-line tools as a user would, through the shell, and
// collects what it printed and its exit status.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <nlohmann/json.hpp>

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// tool is the executable's name in the build folder; input goes to its stdin.
inline ToolResult runTool(const std::string& tool, const std::string& args, const std::string& input = "")
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("turfwar-tool-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path in = dir / "in", out = dir / "out", err = dir / "err";
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = std::string(TURFWAR_BINARY_DIR) + "/" + tool + " " + args + " <" + in.string() +
                                " >" + out.string() + " 2>" + err.string();
    ToolResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    fs::remove_all(dir);
    return result;
}

// A tool's output read as one JSON document a line, as the replay tool
// writes its states.
inline std::vector<nlohmann::json> stateLines(const std::string& out)
{
    std::vector<nlohmann::json> states;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        states.push_back(nlohmann::json::parse(line));
    return states;
}

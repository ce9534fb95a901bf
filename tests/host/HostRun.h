// Test helpers: run quorlane-host on a script text, and read back Y4M and PNG files.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Spawn.h"

namespace hosttest {

inline std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool FileExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

struct HostRun {
    int exitCode = -1;
    std::string transcript;
    std::string out;  // output folder
};

// Runs the host tool with `script` (written to a fresh folder) and extra arguments.
inline HostRun RunHost(const std::string& script, const std::string& bridge,
                       std::vector<std::string> args = {}, int timeoutMs = 120000) {
    static int counter = 0;
    HostRun run;
    std::string dir = ::testing::TempDir() + "host-run-" + std::to_string(platform::ProcessId()) +
                      "-" + std::to_string(++counter);
    std::filesystem::create_directory(dir);
    std::ofstream(dir + "/session.qhs") << script;
    run.out = dir + "/out";
    platform::SpawnOptions o;
    o.path = QUORLANE_HOST_PATH;
    o.args = {"--bridge", bridge, "--out", run.out, "--no-color"};
    o.args.insert(o.args.end(), args.begin(), args.end());
    o.args.push_back(dir + "/session.qhs");
    o.stdoutPath = dir + "/transcript.txt";
    o.stderrPath = dir + "/stderr.txt";
    platform::ChildProcess child;
    std::string error;
    if (!child.Spawn(o, &error)) {
        ADD_FAILURE() << error;
        return run;
    }
    platform::ExitStatus status;
    if (!child.WaitFor(timeoutMs, &status)) {
        ADD_FAILURE() << "quorlane-host did not finish";
        child.KillAndWait();
    }
    run.exitCode = status.exited ? status.code : 1000 + status.signal;
    run.transcript = FileText(o.stdoutPath) + FileText(o.stderrPath);
    return run;
}

struct Y4m {
    bool valid = false;
    std::string error;
    int width = 0, height = 0;
    std::string colorspace;
    std::vector<std::string> frames;  // payloads, I420
};

// Reads a Y4M file strictly: one header, then whole "FRAME\n" + payload records.
inline Y4m ReadY4m(const std::string& path) {
    Y4m y;
    std::string data = FileText(path);
    std::size_t end = data.find('\n');
    if (data.compare(0, 10, "YUV4MPEG2 ") != 0 || end == std::string::npos) {
        y.error = "no YUV4MPEG2 header";
        return y;
    }
    std::istringstream header(data.substr(10, end - 10));
    std::string token;
    while (header >> token) {
        if (token[0] == 'W')
            y.width = std::atoi(token.c_str() + 1);
        else if (token[0] == 'H')
            y.height = std::atoi(token.c_str() + 1);
        else if (token[0] == 'C')
            y.colorspace = token.substr(1);
    }
    if (y.width <= 0 || y.height <= 0) {
        y.error = "no size in header";
        return y;
    }
    std::size_t frameSize = static_cast<std::size_t>(y.width) * y.height +
                            2 * static_cast<std::size_t>((y.width + 1) / 2) * ((y.height + 1) / 2);
    std::size_t at = end + 1;
    while (at < data.size()) {
        if (data.compare(at, 6, "FRAME\n") != 0) {
            y.error = "no FRAME marker at byte " + std::to_string(at);
            return y;
        }
        at += 6;
        if (data.size() - at < frameSize) {
            y.error = "last frame cut short";
            return y;
        }
        y.frames.push_back(data.substr(at, frameSize));
        at += frameSize;
    }
    y.valid = true;
    return y;
}

struct Png {
    bool valid = false;
    std::string error;
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

inline Png ReadPng(const std::string& path) {
    Png p;
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        p.error = png.message;
        return p;
    }
    png.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, p.rgb.data(), 0, nullptr)) {
        p.error = png.message;
        return p;
    }
    p.width = static_cast<int>(png.width);
    p.height = static_cast<int>(png.height);
    p.valid = true;
    return p;
}

}  // namespace hosttest

// Helpers of the frame tests: starting a bridge that is logged in to a room, asking the
// simulated SDK for frames, and checking the planes of a received frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/BridgeProcess.h"

namespace frametest {

using bridgetest::BridgeProcess;
using bridgetest::Frame;
using nlohmann::json;

// BT.601 studio-range values of full-intensity colours.
struct Yuv {
    int y, u, v;
};
const Yuv kRed = {81, 90, 240};
const Yuv kGreen = {145, 54, 34};
const Yuv kBlue = {41, 240, 110};
const Yuv kWhite = {235, 128, 128};
// The eight bars, left to right: white, yellow, cyan, green, magenta, red, blue, black.
const Yuv kBars[8] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                      {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

// Logs in and enters a room, which registers the render callback.
inline bool StartInRoom(BridgeProcess& bridge) {
    if (!bridge.Start())
        return false;
    bridge.Run(R"({"type":"Login","param":{"userID":"me","userName":"Me","test":0}})");
    bridge.Run(R"({"type":"EnterRoom","param":{"RoomName":"Room","RoomID":"r1","role":1}})");
    return true;
}

// Asks for `count` frames and returns how many the simulated SDK delivered.
inline int Deliver(BridgeProcess& bridge, json request, int count = 1) {
    request["op"] = "frame";
    request["count"] = count;
    if (!request.contains("stream"))
        request["stream"] = nullptr;
    const json answer = bridge.Ask(request, "framed");
    return answer.value("delivered", -1);
}

// Every byte of a plane within 1 of `value`; returns the number of bytes off.
inline int CountOff(const std::string& bytes, std::size_t start, std::size_t size, int value) {
    int off = 0;
    for (std::size_t i = start; i < start + size; ++i) {
        if (std::abs(static_cast<unsigned char>(bytes[i]) - value) > 1)
            ++off;
    }
    return off;
}

// Checks a solid-colour frame: header sizes and the three planes, in Y U V order for channel 0
// and Y V U for the others.
inline void ExpectSolidFrame(const Frame& frame, int channel, int width, int height,
                             const Yuv& colour) {
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const std::size_t chroma = static_cast<std::size_t>((width + 1) / 2) * ((height + 1) / 2);
    ASSERT_EQ(frame.width, width);
    ASSERT_EQ(frame.height, height);
    ASSERT_EQ(frame.length, static_cast<int>(luma + 2 * chroma));
    ASSERT_EQ(frame.payload.size(), luma + 2 * chroma);
    const int first = channel == 0 ? colour.u : colour.v;
    const int second = channel == 0 ? colour.v : colour.u;
    EXPECT_EQ(CountOff(frame.payload, 0, luma, colour.y), 0) << "Y plane";
    EXPECT_EQ(CountOff(frame.payload, luma, chroma, first), 0) << "first chroma plane";
    EXPECT_EQ(CountOff(frame.payload, luma + chroma, chroma, second), 0) << "second chroma plane";
}

}  // namespace frametest

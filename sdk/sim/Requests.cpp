#include "sdk/sim/Requests.h"

#include <climits>
#include <cstring>
#include <vector>

#include "sdk/sim/Fault.h"
#include "sdk/sim/FrameRecipe.h"
#include "sdk/sim/Notifications.h"
#include "sdk/sim/Simulator.h"

namespace sim {
namespace {

constexpr long long kMaxFrameCount = 1000000;
constexpr long long kMaxAudioBytes = 16 << 20;
constexpr double kMaxSourceFps = 10000;

void SetResult(Simulator& simulator, const Json& request) {
    ArgText function = TextArg(request, "fn");
    if (function.IsNull() || !Simulator::HasResult(function.Text()))
        throw RequestError("\"fn\" must name an SDK function with a result");
    if (!Has(request, "value") || request.at("value").is_null()) {
        simulator.SetResult(function.Text(), std::nullopt);
        return;
    }
    const Json& value = request.at("value");
    if (Simulator::ReturnsNumber(function.Text())) {
        simulator.SetResult(function.Text(), IntArgInRange(request, "value", INT_MIN, INT_MAX, 0));
    } else {
        if (!value.is_boolean())
            throw RequestError("\"value\" must be true or false");
        simulator.SetResult(function.Text(), value.get<bool>() ? 1 : 0);
    }
}

void Emit(Simulator& simulator, const Json& request) {
    ArgText name = TextArg(request, "cb");
    if (name.IsNull() || name.Text().empty())
        throw RequestError("\"cb\" must name a notification");
    const Json& args = ObjectArg(request, "args");
    bool delivered = EmitNotification(simulator.Registry(), name.Text(), args);
    simulator.Answer({{"op", "emitted"}, {"cb", name.Text()}, {"delivered", delivered}});
}

void Frame(Simulator& simulator, const Json& request) {
    FrameRecipe recipe = ParseFrameRecipe(request);
    long long count = IntArgInRange(request, "count", 0, kMaxFrameCount, 1);
    FramePixels pixels(recipe);
    long long delivered = 0;
    for (long long i = 0; i < count; ++i) {
        if (!DeliverFrame(simulator.Registry(), recipe, pixels, static_cast<std::uint64_t>(i)))
            break;
        ++delivered;
    }
    simulator.Answer({{"op", "framed"}, {"delivered", delivered}});
}

void Source(Simulator& simulator, const Json& request) {
    if (BoolArg(request, "stop")) {
        ArgText stream = TextArg(request, "stream");
        std::optional<std::string> key;
        if (Has(request, "stream") && !stream.IsNull())
            key = stream.Text();
        simulator.StopSource(key);
        return;
    }
    FrameRecipe recipe = ParseFrameRecipe(request);
    double fps = DoubleArg(request, "fps");
    if (!(fps >= 0 && fps <= kMaxSourceFps))
        throw RequestError("\"fps\" must be between 0 and 10000");
    simulator.StartSource(recipe, fps);
}

void Hang(Simulator& simulator, const Json& request) {
    ArgText function = TextArg(request, "fn");
    if (function.IsNull() || function.Text().empty())
        throw RequestError("\"fn\" must name an SDK function");
    if (BoolArg(request, "stop"))
        simulator.ReleaseCalls(function.Text());
    else
        simulator.HoldCalls(function.Text());
}

void Crash(Simulator& simulator, const Json& request) {
    if (!Has(request, "fn"))
        WriteThroughNull();  // here, on the control channel's thread: one of the SDK's own
    ArgText function = TextArg(request, "fn");
    if (function.IsNull() || function.Text().empty())
        throw RequestError("\"fn\" must name an SDK function");
    simulator.CrashInCall(function.Text());
}

void Audio(Simulator& simulator, const Json& request) {
    long long bytes = IntArgInRange(request, "bytes", 0, kMaxAudioBytes, 0);
    std::size_t size = static_cast<std::size_t>(bytes);
    std::vector<unsigned char> inData(size), outData(size + 1, 0);
    for (std::size_t i = 0; i < size; ++i)
        inData[i] = static_cast<unsigned char>(i * 7 + 3);
    AVE::AudioFrame in{};
    in.frameType = 1;
    in.samples = static_cast<int>(size / 4);
    in.bytesPerSample = 2;
    in.channels = 2;
    in.sampleRate = 44100;
    in.timeStamp = 1234.5;
    in.configLen = 7;
    in.bufLen = static_cast<int>(size);
    in.buffer = inData.data();
    AVE::AudioFrame out{};
    out.buffer = outData.data();
    // One guard byte after the sample data shows a copy that ran past the data length.
    const unsigned char kGuard = 0xEE;
    outData[size] = kGuard;
    bool called = simulator.Registry().DeliverAudio(
        [&](ZEGO::LIVEROOM::AudioPrepCallback callback) { callback(in, out); });
    bool ok = called && out.frameType == in.frameType && out.samples == in.samples &&
              out.bytesPerSample == in.bytesPerSample && out.channels == in.channels &&
              out.sampleRate == in.sampleRate && out.timeStamp == in.timeStamp &&
              out.configLen == in.configLen && out.bufLen == in.bufLen &&
              out.buffer == outData.data() &&
              (size == 0 || std::memcmp(outData.data(), inData.data(), size) == 0) &&
              outData[size] == kGuard;
    simulator.Answer({{"op", "audio"}, {"ok", ok}});
}

void Execute(Simulator& simulator, const Json& request) {
    if (!request.is_object())
        throw RequestError("a request must be a JSON object");
    ArgText op = TextArg(request, "op");
    const std::string& name = op.Text();
    if (name == "result")
        SetResult(simulator, request);
    else if (name == "emit")
        Emit(simulator, request);
    else if (name == "frame")
        Frame(simulator, request);
    else if (name == "source")
        Source(simulator, request);
    else if (name == "audio")
        Audio(simulator, request);
    else if (name == "hang")
        Hang(simulator, request);
    else if (name == "crash")
        Crash(simulator, request);
    else if (name == "sync")
        simulator.Answer(
            {{"op", "synced"}, {"id", Has(request, "id") ? request.at("id") : Json()}});
    else
        throw RequestError("unknown op \"" + name + "\"");
}

}  // namespace

void ExecuteRequest(Simulator& simulator, const std::string& line) {
    try {
        Json request = Json::parse(line);
        Execute(simulator, request);
    } catch (const Json::parse_error& e) {
        simulator.Answer({{"op", "error"}, {"message", std::string("not JSON: ") + e.what()}});
    } catch (const std::exception& e) {
        simulator.Answer({{"op", "error"}, {"message", e.what()}});
    } catch (...) {
        simulator.Answer({{"op", "error"}, {"message", "a notification raised an exception"}});
    }
}

}  // namespace sim

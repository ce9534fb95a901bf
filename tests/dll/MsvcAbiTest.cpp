// The binding against clang's model of Microsoft's x64 ABI, applied to our own SDK headers: the
// decorations it looks up, and the vtable slots of its callback adapters. The build made the
// two dumps read here (and compiled the record layout checks for that target).
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "sdk/dll/CallbackAdapters.h"
#include "sdk/dll/ExportIndex.h"
#include "sdk/dll/FunctionTable.h"
#include "sdk/dll/MsDecoration.h"

namespace dlltest {
namespace {

std::string ReadFile(const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Decorations of the free functions of ZEGO::LIVEROOM in the AST dump of LiveRoom.h.
std::set<std::string> ClangDecorations() {
    const std::string dump = ReadFile(QUORLANE_DECORATION_DUMP);
    const std::regex mangled("\"mangledName\": \"(\\?[^\"]+)\"");
    std::set<std::string> names;
    for (std::sregex_iterator it(dump.begin(), dump.end(), mangled), end; it != end; ++it) {
        const std::string name = (*it)[1];
        const std::string qualified = dll::QualifiedName(name);
        const bool inLiveRoom =
            qualified.size() > 14 &&
            qualified.compare(qualified.size() - 14, 14, "@LIVEROOM@ZEGO") == 0 &&
            qualified.find('@') == qualified.size() - 14;
        if (inLiveRoom && name[qualified.size() + 2] == 'Y')
            names.insert(name);
    }
    return names;
}

TEST(MsvcAbiTest, TheFunctionTableHoldsTheDecorationsOfLiveRoomH) {
    const std::set<std::string> clang = ClangDecorations();
    ASSERT_GE(clang.size(), 30u) << "no decorations read from " << QUORLANE_DECORATION_DUMP;
    std::set<std::string> table;
    for (std::size_t i = 0; i < dll::kFunctionCount; ++i)
        table.insert(dll::Decoration(static_cast<dll::Function>(i)));
    EXPECT_EQ(table, clang);

    // Each can be compared with a decoration that differs, and is found among clang's names.
    const dll::ExportIndex index(std::vector<std::string>(clang.begin(), clang.end()));
    for (const std::string& name : table) {
        std::vector<std::string> classes;
        EXPECT_TRUE(dll::ReadPassingClasses(name, &classes)) << name;
        EXPECT_EQ(index.Resolve(name).kind, dll::Resolution::Kind::kExact) << name;
    }
}

// Slot index of every virtual function in Microsoft's layout: "Interface::Name" (the
// destructor as "Interface::~"), from the "VFTable indices" blocks of the dump.
std::map<std::string, std::size_t> ClangSlots() {
    std::istringstream dump(ReadFile(QUORLANE_VTABLE_DUMP));
    const std::regex header("VFTable indices for '(?:\\w+::)*(\\w+)'.*");
    const std::regex slot("\\s*(\\d+) \\| .*::(~?\\w+)\\(.*");
    std::map<std::string, std::size_t> slots;
    std::string interfaceName;
    std::string line;
    std::smatch match;
    while (std::getline(dump, line)) {
        if (std::regex_match(line, match, header)) {
            interfaceName = match[1];
        } else if (!interfaceName.empty() && std::regex_match(line, match, slot)) {
            const std::string name = match[2];
            slots[interfaceName + "::" + (name[0] == '~' ? "~" : name)] = std::stoul(match[1]);
        } else if (line.empty()) {
            interfaceName.clear();
        }
    }
    return slots;
}

TEST(MsvcAbiTest, AdapterSlotsSitWhereMicrosoftsLayoutPutsThem) {
    const std::map<std::string, std::size_t> clang = ClangSlots();
    std::map<std::string, std::size_t> ours;
#define QUORLANE_SLOT(interface, slots, member, name) \
    ours[#interface "::" name] = offsetof(dll::ms::slots, member) / sizeof(void*)
#define QUORLANE_SLOTS(interface, slots, member) QUORLANE_SLOT(interface, slots, member, #member)
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnInitSDK);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnLoginRoom);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnLogoutRoom);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnKickOut);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnDisconnect);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnReconnect);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnTempBroken);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnStreamUpdated);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnStreamExtraInfoUpdated);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnCustomCommand);
    QUORLANE_SLOTS(IRoomCallback, RoomSlots, OnRecvCustomCommand);
    QUORLANE_SLOT(IRoomCallback, RoomSlots, Destructor, "~");
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnUpdateOnlineCount);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnSendRoomMessage);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnUserUpdate);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnSendBigRoomMessage);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnRecvBigRoomMessage);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnRecvRoomMessage);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnSendConversationMessage);
    QUORLANE_SLOTS(IIMCallback, IMSlots, OnRecvConversationMessage);
    QUORLANE_SLOT(IIMCallback, IMSlots, Destructor, "~");
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnPublishStateUpdate);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnJoinLiveRequest);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnInviteJoinLiveResponse);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnEndJoinLive);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnPublishQualityLevel);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnPublishQualityUpdate);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnAuxCallback);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnCaptureVideoSizeChanged);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnPreviewSnapshot);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnRelayCDNStateUpdate);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnUpdateMixStreamConfig);
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnMixStream);
    QUORLANE_SLOT(ILivePublisherCallback, PublisherSlots, Destructor, "~");
    QUORLANE_SLOTS(ILivePublisherCallback, PublisherSlots, OnCaptureVideoFirstFrame);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnPlayStateUpdate);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnPlayQualityUpdate);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnPlayQualityLevel);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnJoinLiveResponse);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnRecvEndJoinLiveCommand);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnInviteJoinLiveRequest);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnVideoSizeChanged);
    QUORLANE_SLOTS(ILivePlayerCallback, PlayerSlots, OnRemoteCameraStatusUpdate);
    QUORLANE_SLOT(ILivePlayerCallback, PlayerSlots, Destructor, "~");
    QUORLANE_SLOTS(IZegoDeviceStateCallback, DeviceStateSlots, OnAudioDeviceStateChanged);
    QUORLANE_SLOTS(IZegoDeviceStateCallback, DeviceStateSlots, OnVideoDeviceStateChanged);
    QUORLANE_SLOTS(IZegoDeviceStateCallback, DeviceStateSlots, OnDeviceError);
    QUORLANE_SLOTS(IZegoVideoRenderCallback, RenderSlots, OnVideoDataCallback);
#undef QUORLANE_SLOTS
#undef QUORLANE_SLOT
    EXPECT_EQ(ours, clang);
}

}  // namespace
}  // namespace dlltest

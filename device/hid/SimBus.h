// The simulated HID bus shared by velorin-sim (the device side) and the sim backend (the host
// side). Each simulated interface is a listening SOCK_SEQPACKET socket in the bus directory; one
// connection is one open handle. Every message is one packet whose first byte is its kind:
//
//   'I' identity   device -> host, first packet of every connection:
//                  'I', version (2), bus type (u32 LE), vendor (u16 LE), product (u16 LE),
//                  flags (bit 0: the interface has an interrupt OUT endpoint), then the report
//                  descriptor (the rest of the packet). Version 1 has no flags byte.
//   'R' input      device -> host: 'R', the input report as a hidraw node delivers it (no
//                  report-ID byte when the descriptor declares no report IDs)
//   'O' output     host -> device: 'O', the output report, report ID first
//   'A' ack        device -> host, one per 'O' in order: 'A', 1 when taken, 0 when refused
//
// A socket file appears once its interface listens and disappears when it is unplugged. Names
// starting with '.' are not interfaces (velorin-sim binds there, then renames into place).
#pragma once

#include "device/hid/HidPlatform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin::hid::sim {

inline constexpr uint8_t kMsgIdentity = 'I';
inline constexpr uint8_t kMsgInput = 'R';
inline constexpr uint8_t kMsgOutput = 'O';
inline constexpr uint8_t kMsgAck = 'A';
inline constexpr uint8_t kProtocolVersion = 2;
inline constexpr std::size_t kIdentityHeaderSizeV1 = 10;
inline constexpr std::size_t kIdentityHeaderSize = 11;
inline constexpr uint8_t kFlagInterruptOut = 0x01;
inline constexpr std::size_t kMaxDescriptorSize = 4096;
inline constexpr std::size_t kMaxReportSize = 4096;
inline constexpr std::size_t kMaxMessageSize = kIdentityHeaderSize + kMaxDescriptorSize;

struct Identity {
    uint32_t busType = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<uint8_t> descriptor;
    // Whether the interface has an interrupt OUT endpoint; unknown in a version 1 identity.
    std::optional<bool> interruptOut;
};

std::vector<uint8_t> encodeIdentity(const Identity& id);
// Decodes an identity packet; nullopt for anything malformed (wrong kind or version, short,
// descriptor too long).
std::optional<Identity> decodeIdentity(std::span<const uint8_t> packet);

// The bus directory: `VELORIN_SIM_BUS` when set, else $XDG_RUNTIME_DIR/velorin-sim, else
// /tmp/velorin-sim-<uid>.
std::string defaultBusDir();

// The platform a program selects with --simulate [DIR]: the bus in `busDir`, or in
// defaultBusDir() when it is empty. The program's adapter session takes it.
std::unique_ptr<HidPlatform> makePlatform(const std::string& busDir = {});

// Creates the bus directory (mode 0700) when missing; false when it cannot be used.
bool ensureBusDir(const std::string& dir, std::string* error = nullptr);

// Whether a directory entry names an interface socket.
bool isInterfaceName(const std::string& name);

} // namespace velorin::hid::sim

#include "device/hid/SimBus.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin::hid::sim {

std::vector<uint8_t> encodeIdentity(const Identity& id) {
    std::vector<uint8_t> out;
    out.reserve(kIdentityHeaderSize + id.descriptor.size());
    out.push_back(kMsgIdentity);
    out.push_back(kProtocolVersion);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id.busType >> (8 * i)));
    out.push_back(static_cast<uint8_t>(id.vendorId));
    out.push_back(static_cast<uint8_t>(id.vendorId >> 8));
    out.push_back(static_cast<uint8_t>(id.productId));
    out.push_back(static_cast<uint8_t>(id.productId >> 8));
    out.push_back(id.interruptOut.value_or(false) ? kFlagInterruptOut : 0);
    out.insert(out.end(), id.descriptor.begin(), id.descriptor.end());
    return out;
}

std::optional<Identity> decodeIdentity(std::span<const uint8_t> p) {
    if (p.size() < kIdentityHeaderSizeV1 || p[0] != kMsgIdentity || (p[1] != 1 && p[1] != kProtocolVersion))
        return std::nullopt;
    const std::size_t header = p[1] == 1 ? kIdentityHeaderSizeV1 : kIdentityHeaderSize;
    if (p.size() < header || p.size() - header > kMaxDescriptorSize)
        return std::nullopt;
    Identity id;
    id.busType = static_cast<uint32_t>(p[2]) | static_cast<uint32_t>(p[3]) << 8 |
                 static_cast<uint32_t>(p[4]) << 16 | static_cast<uint32_t>(p[5]) << 24;
    id.vendorId = static_cast<uint16_t>(p[6] | p[7] << 8);
    id.productId = static_cast<uint16_t>(p[8] | p[9] << 8);
    if (p[1] != 1)
        id.interruptOut = (p[10] & kFlagInterruptOut) != 0;
    id.descriptor.assign(p.begin() + static_cast<std::ptrdiff_t>(header), p.end());
    return id;
}

std::string defaultBusDir() {
    if (const char* bus = std::getenv("VELORIN_SIM_BUS"); bus && *bus)
        return bus;
    if (const char* rt = std::getenv("XDG_RUNTIME_DIR"); rt && *rt)
        return std::string(rt) + "/velorin-sim";
    return "/tmp/velorin-sim-" + std::to_string(::getuid());
}

std::unique_ptr<HidPlatform> makePlatform(const std::string& busDir) {
    return makeSimPlatform(busDir.empty() ? defaultBusDir() : busDir);
}

bool ensureBusDir(const std::string& dir, std::string* error) {
    if (dir.empty()) {
        if (error)
            *error = "empty bus directory";
        return false;
    }
    // Missing parents are made as well (private to the user, like the bus itself).
    for (std::size_t pos = dir.find('/', 1); pos != std::string::npos; pos = dir.find('/', pos + 1)) {
        const std::string parent = dir.substr(0, pos);
        if (::mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST)
            break; // the final mkdir reports the reason
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = std::string("cannot create ") + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error)
            *error = dir + " is not a directory";
        return false;
    }
    // A shared /tmp fallback must belong to us, or another user could plant interfaces there.
    if (st.st_uid != ::getuid()) {
        if (error)
            *error = dir + " belongs to another user";
        return false;
    }
    return true;
}

bool isInterfaceName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.size() < 100 && name.find('/') == std::string::npos;
}

} // namespace velorin::hid::sim

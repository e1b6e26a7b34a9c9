#include "PadStates.h"

#include "Hex.h"

#include "device/Reports.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin::sim {
namespace {

constexpr std::size_t kScriptLimit = 1 << 20;

std::optional<std::vector<uint8_t>> readFileBounded(const std::string& path, std::size_t limit) {
    // Non-blocking, and regular files only: a FIFO or a device could block the loop for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> data;
    uint8_t buf[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || data.size() + static_cast<std::size_t>(got) > limit) {
            if (got != 0)
                data.assign(limit + 1, 0); // marks "too long or unreadable"
            break;
        }
        data.insert(data.end(), buf, buf + got);
    }
    ::close(fd);
    return data;
}

// The buttons the demo presses one after another: (data byte, bit mask), then the stick
// directions as (data byte, value).
struct Step {
    std::size_t index;
    uint8_t value;
    bool stick;
};
constexpr Step kPattern[] = {
    {8, 0x01, false},  {8, 0x02, false},  {8, 0x08, false},  {8, 0x10, false}, {8, 0x40, false},
    {8, 0x80, false},  {9, 0x01, false},  {9, 0x02, false},  {9, 0x04, false}, {9, 0x08, false},
    {9, 0x10, false},  {9, 0x20, false},  {9, 0x40, false},  {9, 0x80, false}, {10, 0x01, false},
    {10, 0x02, false}, {10, 0x04, false}, {10, 0x08, false}, {3, 0x00, true},  {3, 0xFF, true},
    {2, 0x00, true},   {2, 0xFF, true},
};

} // namespace

std::optional<double> parseRate(const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (!end || *end || !(v >= kMinRate && v <= kMaxRate))
        return std::nullopt;
    return v;
}

std::vector<uint8_t> padState(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> r(hid::kInputReportSize - 1, 0);
    r[0] = device::kPadMarker0;
    r[1] = device::kPadMarker1;
    for (std::size_t i = 2; i <= 5; ++i)
        r[i] = 0x80;
    std::copy_n(bytes.begin(), std::min(bytes.size(), kPadStateBytes), r.begin() + 2);
    return r;
}

std::vector<uint8_t> demoPadState(std::size_t step) {
    const Step& s = kPattern[step % std::size(kPattern)];
    auto r = padState();
    if (s.stick)
        r[s.index] = s.value;
    else
        r[s.index] |= s.value;
    return r;
}

std::optional<std::vector<std::vector<uint8_t>>> loadScript(const std::string& path, std::string* error) {
    const auto text = readFileBounded(path, kScriptLimit);
    if (!text || text->size() > kScriptLimit) {
        *error = "cannot read the script " + path;
        return std::nullopt;
    }
    std::vector<std::vector<uint8_t>> states;
    std::istringstream in(std::string(text->begin(), text->end()));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto bytes = parseHex(line, kPadStateBytes);
        if (!bytes) {
            *error = "bad script line: " + line.substr(0, 80);
            return std::nullopt;
        }
        states.push_back(padState(*bytes));
    }
    return states;
}

} // namespace velorin::sim

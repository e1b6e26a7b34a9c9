#include "Files.h"

#include "core/sim/PadStates.h"
#include "model/KvfCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <string_view>
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

} // namespace

bool loadSeed(RecordStore& records, const std::string& seed, std::string* error) {
    // Like the window's load: the first 108 bytes of a regular file.
    const auto block = kvf::read(QString::fromStdString(seed), kvf::SizeRule::AtLeastBlock);
    if (!block) {
        if (error)
            *error = "seed file " + seed + " does not hold a 108-byte record block";
        return false;
    }
    records.setBlock(*block);
    return true;
}

bool Flash::attach(RecordStore& records, const std::string& flash, const std::string& seed,
                   std::string* error) {
    path_ = flash;
    if (::access(flash.c_str(), F_OK) == 0) {
        const auto block = kvf::read(QString::fromStdString(flash), kvf::SizeRule::ExactlyBlock);
        if (!block) {
            if (error)
                *error = "flash file " + flash + " is not a 108-byte record block";
            return false;
        }
        records.setBlock(*block);
        return true;
    }
    if (!seed.empty() && !loadSeed(records, seed, error))
        return false;
    return save(records, error);
}

bool Flash::save(const RecordStore& records, std::string* error) const {
    const auto written = kvf::write(QString::fromStdString(path_), records.block());
    if (written)
        return true;
    if (error)
        *error = "cannot write the flash file " + path_ + ": " + written.error().detail;
    return false;
}

std::optional<std::vector<std::vector<uint8_t>>> loadScript(const std::string& path, std::string* error) {
    const auto text = readFileBounded(path, kScriptLimit);
    if (!text || text->size() > kScriptLimit) {
        *error = "cannot read the script " + path;
        return std::nullopt;
    }
    return parseScript(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()), error);
}

} // namespace velorin::sim

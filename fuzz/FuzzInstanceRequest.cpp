// Any bytes as a request line from a later start: only the two known requests are recognised.
#include "app/SingleInstance.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto request = velorin::app::parseInstanceRequest(line);
    // Recognised only as the bare word, whatever surrounds it is white space.
    const QByteArray word = line.trimmed();
    if ((request == velorin::app::InstanceRequest::Close) != (word == "close"))
        std::abort();
    if ((request == velorin::app::InstanceRequest::Activate) != (word == "activate"))
        std::abort();
    return 0;
}

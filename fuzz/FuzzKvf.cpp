// Any file as a ".kvf": the window's reader takes the first 108 bytes of anything at least that
// long, velorinctl takes exactly 108 bytes; both refuse the rest without a crash.
#include "app/AssignmentFiles.h"
#include "tools/velorinctl/KvfFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/input.kvf");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        if (f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            std::abort();
    }

    velorin::WorkModeBlock::Bytes bytes{};
    const auto status = velorin::app::readKvf(path, bytes);
    if ((status == velorin::app::KvfReadStatus::Ok) != (size >= velorin::kBlockSize))
        std::abort();
    if (status == velorin::app::KvfReadStatus::Ok && !std::equal(bytes.begin(), bytes.end(), data))
        std::abort();

    const auto block = velorin::ctl::readKvfFile(path);
    if (block.ok() != (size == velorin::kBlockSize))
        std::abort();
    if (block && !std::equal(block->raw().begin(), block->raw().end(), data))
        std::abort();
    if (!block && block.error().detail.empty())
        std::abort(); // a refusal always says why
    return 0;
}

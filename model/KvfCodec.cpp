#include "model/KvfCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <atomic>

namespace velorin::kvf {
namespace {

qint64 realWrite(QIODevice& file, const char* data, qint64 size) {
    return file.write(data, size);
}
std::atomic<Writer> g_writer{&realWrite};

Error fail(ErrorKind kind, const QString& detail = {}, qint64 size = -1) {
    Error e;
    e.kind = kind;
    e.detail = detail.toStdString();
    e.size = size;
    return e;
}

} // namespace

Result<WorkModeBlock, Error> read(const QString& path, SizeRule rule) {
    const QFileInfo info(path);
    if (!info.exists())
        return fail(ErrorKind::NotFound, QStringLiteral("no such file"));
    if (!info.isFile())
        return fail(ErrorKind::NotRegular, QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ErrorKind::CannotOpen, file.errorString());
    // One byte more than a block tells a longer file from one that fits exactly.
    std::array<uint8_t, kFileSize + 1> start{};
    constexpr auto kWanted = static_cast<qint64>(start.size());
    qint64 total = 0;
    while (total < kWanted) {
        const qint64 n = file.read(reinterpret_cast<char*>(start.data()) + total, kWanted - total);
        if (n < 0)
            return fail(ErrorKind::CannotRead, file.errorString());
        if (n == 0)
            break;
        total += n;
    }
    // Which bytes make a block is the core's rule.
    return blockFromFileBytes(std::span<const uint8_t>(start.data(), static_cast<std::size_t>(total)), rule,
                              info.size());
}

Status<Error> writeAtomically(const QString& path, QByteArrayView data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(ErrorKind::CannotCreate, file.errorString());
    const qint64 written = g_writer.load()(file, data.data(), data.size());
    if (written != data.size()) {
        const QString why = written < 0 ? file.errorString() : QStringLiteral("short write");
        file.cancelWriting();
        return fail(ErrorKind::CannotWrite, why);
    }
    if (!file.commit())
        return fail(ErrorKind::CannotWrite, file.errorString());
    return Done{};
}

Status<Error> write(const QString& path, const WorkModeBlock& block) {
    const auto bytes = block.raw();
    return writeAtomically(
        path, QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

void setWriterForTesting(Writer writer) {
    g_writer.store(writer ? writer : &realWrite);
}

} // namespace velorin::kvf

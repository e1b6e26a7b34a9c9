#include "model/KvfCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>

namespace velorin::kvf {
namespace {

qint64 realWrite(QIODevice& file, const char* data, qint64 size) {
    return file.write(data, size);
}
std::atomic<Writer> g_writer{&realWrite};

bool fail(Error* error, ErrorKind kind, QString detail = {}, qint64 size = -1) {
    if (error)
        *error = {kind, std::move(detail), size};
    return false;
}

} // namespace

std::optional<WorkModeBlock> read(const QString& path, SizeRule rule, Error* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        fail(error, ErrorKind::NotFound, QStringLiteral("no such file"));
        return std::nullopt;
    }
    if (!info.isFile()) {
        fail(error, ErrorKind::NotRegular, QStringLiteral("not a regular file"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, ErrorKind::CannotOpen, file.errorString());
        return std::nullopt;
    }
    // One byte more than a block tells a longer file from one that fits exactly.
    constexpr auto kSize = static_cast<qint64>(kBlockSize);
    WorkModeBlock::Bytes bytes{};
    char extra = 0;
    qint64 total = 0;
    while (total <= kSize) {
        char* into = total < kSize ? reinterpret_cast<char*>(bytes.data()) + total : &extra;
        const qint64 n = file.read(into, total < kSize ? kSize - total : 1);
        if (n < 0) {
            fail(error, ErrorKind::CannotRead, file.errorString());
            return std::nullopt;
        }
        if (n == 0)
            break;
        total += n;
    }
    if (total < kSize) {
        fail(error, ErrorKind::TooShort, {}, total);
        return std::nullopt;
    }
    if (total > kSize && rule == SizeRule::ExactlyBlock) {
        fail(error, ErrorKind::TooLong, {}, info.size());
        return std::nullopt;
    }
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

bool writeAtomically(const QString& path, QByteArrayView data, Error* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, ErrorKind::CannotCreate, file.errorString());
    const qint64 written = g_writer.load()(file, data.data(), data.size());
    if (written != data.size()) {
        const QString why = written < 0 ? file.errorString() : QStringLiteral("short write");
        file.cancelWriting();
        return fail(error, ErrorKind::CannotWrite, why);
    }
    if (!file.commit())
        return fail(error, ErrorKind::CannotWrite, file.errorString());
    return true;
}

bool write(const QString& path, const WorkModeBlock& block, Error* error) {
    const auto bytes = block.raw();
    return writeAtomically(
        path, QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), error);
}

void setWriterForTesting(Writer writer) {
    g_writer.store(writer ? writer : &realWrite);
}

} // namespace velorin::kvf

#include "KvfFile.h"

#include "model/KvfCodec.h"

#include <QFile>
#include <QFileInfo>

namespace velorin::ctl {

namespace {

FileError badInput(const QString& message) {
    return {kExitBadInput, message.toStdString()};
}

QString detailOf(const kvf::Error& e) {
    return QString::fromStdString(e.detail);
}

QString notKvf(const QString& path, qint64 size) {
    return QStringLiteral("%1: not a .kvf file: it is %2 bytes long; a .kvf file holds exactly 108 bytes "
                          "(four 27-byte records)")
        .arg(path)
        .arg(size);
}

} // namespace

Result<QByteArray, FileError> readBoundedFile(const QString& path, qint64 maxBytes) {
    const QFileInfo info(path);
    if (!info.exists())
        return badInput(QStringLiteral("%1: no such file").arg(path));
    // A FIFO or a device could block for ever or never end.
    if (!info.isFile())
        return badInput(QStringLiteral("%1: not a regular file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return badInput(QStringLiteral("%1: cannot open: %2").arg(path, file.errorString()));
    // One byte more than allowed tells an oversized file from one that fits exactly.
    QByteArray data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return badInput(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
    if (data.size() > maxBytes)
        return badInput(QStringLiteral("%1: larger than %2 bytes").arg(path).arg(maxBytes));
    return data;
}

Result<WorkModeBlock, FileError> readKvfFile(const QString& path) {
    auto block = kvf::read(path, kvf::SizeRule::ExactlyBlock);
    if (block)
        return *block;
    const kvf::Error& e = block.error();
    switch (e.kind) {
    case kvf::ErrorKind::NotFound:
    case kvf::ErrorKind::NotRegular:
        return badInput(QStringLiteral("%1: %2").arg(path, detailOf(e)));
    case kvf::ErrorKind::CannotOpen:
        return badInput(QStringLiteral("%1: cannot open: %2").arg(path, detailOf(e)));
    case kvf::ErrorKind::TooShort:
    case kvf::ErrorKind::TooLong:
        return badInput(notKvf(path, e.size));
    default:
        return badInput(QStringLiteral("%1: cannot read: %2").arg(path, detailOf(e)));
    }
}

Status<FileError> writeFileAtomically(const QString& path, const QByteArray& data) {
    const auto written = kvf::writeAtomically(path, data);
    if (written)
        return Done{};
    const kvf::Error& e = written.error();
    return FileError{
        kExitCannotWrite,
        QStringLiteral("%1: cannot %2: %3")
            .arg(path,
                 e.kind == kvf::ErrorKind::CannotCreate ? QStringLiteral("create") : QStringLiteral("write"),
                 detailOf(e))
            .toStdString()};
}

Status<FileError> writeKvfFile(const QString& path, const WorkModeBlock& block) {
    const auto raw = block.raw();
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char*>(raw.data()), static_cast<qsizetype>(raw.size())));
}

} // namespace velorin::ctl

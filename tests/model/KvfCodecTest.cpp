// The .kvf codec: which lengths each size rule takes, what is never opened, and that a failed
// write leaves the earlier file as it was.
#include "model/KvfCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velorin;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

QByteArray counting(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(i + 1);
    return b;
}

TEST(KvfCodec, SizeRulesAndFilesThatAreNeverOpened) {
    QTemporaryDir dir;
    struct Case {
        int size;
        kvf::SizeRule rule;
        kvf::ErrorKind want;
    };
    const Case cases[] = {
        {108, kvf::SizeRule::ExactlyBlock, kvf::ErrorKind::None},
        {108, kvf::SizeRule::AtLeastBlock, kvf::ErrorKind::None},
        {109, kvf::SizeRule::AtLeastBlock, kvf::ErrorKind::None},
        {109, kvf::SizeRule::ExactlyBlock, kvf::ErrorKind::TooLong},
        {107, kvf::SizeRule::AtLeastBlock, kvf::ErrorKind::TooShort},
        {0, kvf::SizeRule::ExactlyBlock, kvf::ErrorKind::TooShort},
    };
    for (const Case& c : cases) {
        const QString path = writeFile(dir, QStringLiteral("f%1.kvf").arg(c.size), counting(c.size));
        const auto block = kvf::read(path, c.rule);
        EXPECT_EQ(block.ok(), c.want == kvf::ErrorKind::None) << c.size;
        EXPECT_EQ(block.kind(), c.want) << c.size;
        if (block)
            EXPECT_EQ(block->raw()[107], 108) << "the first 108 bytes, in order";
        else
            EXPECT_EQ(block.error().size, c.size);
    }
    const QString fifo = dir.filePath(QStringLiteral("fifo.kvf"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const auto fromFifo = kvf::read(fifo, kvf::SizeRule::AtLeastBlock); // returns at once
    EXPECT_FALSE(fromFifo);
    EXPECT_EQ(fromFifo.kind(), kvf::ErrorKind::NotRegular);
    const auto fromDir = kvf::read(dir.path(), kvf::SizeRule::AtLeastBlock);
    EXPECT_FALSE(fromDir);
    EXPECT_EQ(fromDir.kind(), kvf::ErrorKind::NotRegular);
    const auto missing = kvf::read(dir.filePath(QStringLiteral("none")), kvf::SizeRule::AtLeastBlock);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.kind(), kvf::ErrorKind::NotFound);
}

TEST(KvfCodec, AShortWriteLeavesTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("keep.kvf"), counting(108));
    kvf::setWriterForTesting(
        [](QIODevice& f, const char* data, qint64 size) { return f.write(data, size - 1); });
    const auto written = kvf::write(path, WorkModeBlock{});
    kvf::setWriterForTesting(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(written.kind(), kvf::ErrorKind::CannotWrite);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), counting(108));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.kvf")});
}

} // namespace

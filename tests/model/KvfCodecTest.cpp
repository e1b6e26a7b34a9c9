// The .kvf codec: which lengths each size rule takes, what is never opened, that a failed
// write leaves the earlier file as it was, and the rules of the files it writes.
#include "model/KvfCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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

// Each step after the temporary file exists fails as a disk may make it fail: up to the rename
// the earlier file stays byte for byte and the temporary goes; after it, the error says the new
// file is in place but not synced. The full disk itself is tested in tests/files.
TEST(KvfCodec, AFailedStepLeavesTheEarlierFileAndSaysWhy) {
    struct Case {
        kvf::WriteStep step;
        int error;
        kvf::ErrorKind kind;
    };
    const Case cases[] = {
        {kvf::WriteStep::Write, ENOSPC, kvf::ErrorKind::CannotWrite},
        {kvf::WriteStep::SyncFile, EIO, kvf::ErrorKind::CannotWrite},
        {kvf::WriteStep::Close, EDQUOT, kvf::ErrorKind::CannotWrite},
        {kvf::WriteStep::Rename, EXDEV, kvf::ErrorKind::CannotWrite},
        {kvf::WriteStep::SyncFolder, EIO, kvf::ErrorKind::NotSynced},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("keep.kvf"), counting(108));
        kvf::failStepForTesting(c.step, c.error);
        const auto written = kvf::writeAtomically(path, QByteArray(108, 'n'));
        kvf::failStepForTesting(kvf::WriteStep::None, 0);
        ASSERT_FALSE(written) << int(c.step);
        EXPECT_EQ(written.kind(), c.kind) << int(c.step);
        EXPECT_EQ(written.error().detail, QString::fromLocal8Bit(std::strerror(c.error))) << int(c.step);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.kind == kvf::ErrorKind::NotSynced ? QByteArray(108, 'n') : counting(108))
            << int(c.step);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("keep.kvf")})
            << int(c.step) << ": no temporary file is left";
    }
}

// What the writer replaces and how the new file looks: an existing file keeps its permission
// bits, a new one gets 0666 less the umask, a link is followed, and what is not a regular file is
// refused without being opened.
TEST(KvfCodec, ReplacesRegularFilesThroughLinksAndKeepsTheirMode) {
    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    const auto mode = [](const QString& p) {
        struct stat st {};
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
    };
    const QByteArray data(108, 'n');

    const QString old = writeFile(dir, QStringLiteral("old.kvf"), counting(108));
    ASSERT_EQ(::chmod(QFile::encodeName(old).constData(), 0640), 0);
    ASSERT_TRUE(kvf::writeAtomically(old, data));
    EXPECT_EQ(mode(old), mode_t(0640));

    const mode_t mask = ::umask(027);
    const auto fresh = kvf::writeAtomically(at("new.kvf"), data);
    ::umask(mask);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(mode(at("new.kvf")), mode_t(0640));

    const QString target = writeFile(dir, QStringLiteral("target.kvf"), counting(108));
    ASSERT_TRUE(QFile::link(QStringLiteral("target.kvf"), at("link.kvf")));
    ASSERT_TRUE(QFile::link(QStringLiteral("absent.kvf"), at("dangling.kvf")));
    ASSERT_TRUE(kvf::writeAtomically(at("link.kvf"), data));
    ASSERT_TRUE(kvf::writeAtomically(at("dangling.kvf"), data));
    EXPECT_TRUE(QFileInfo(at("link.kvf")).isSymLink());
    EXPECT_TRUE(QFileInfo(at("dangling.kvf")).isSymLink());
    for (const char* name : {"old.kvf", "new.kvf", "target.kvf", "absent.kvf"}) {
        QFile f(at(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(f.readAll(), data) << name;
    }

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);
    struct Refused {
        QString path;
        QString detail;
    };
    const Refused refused[] = {
        {at("folder"), QString::fromLocal8Bit(std::strerror(EISDIR))},
        {at("fifo"), QStringLiteral("not a regular file")}, // returns at once
        {at("no/such/folder.kvf"), QString::fromLocal8Bit(std::strerror(ENOENT))},
    };
    for (const Refused& r : refused) {
        const auto written = kvf::writeAtomically(r.path, data);
        ASSERT_FALSE(written) << r.path.toStdString();
        EXPECT_EQ(written.kind(), kvf::ErrorKind::CannotCreate) << r.path.toStdString();
        EXPECT_EQ(written.error().detail, r.detail) << r.path.toStdString();
    }
    QStringList files =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    files.sort();
    EXPECT_EQ(files.join(u' ').toStdString(),
              "absent.kvf dangling.kvf fifo folder link.kvf new.kvf old.kvf target.kvf");
}

} // namespace

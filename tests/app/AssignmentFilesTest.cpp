#include "app/AssignmentFiles.h"
#include "model/DisplayTexts.h"
#include "model/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>
#include <sys/stat.h>

using namespace velorin;
using namespace velorin::app;

namespace {

QByteArray counting(int size, int start = 1) {
    QByteArray bytes(size, 0);
    std::iota(bytes.begin(), bytes.end(), static_cast<char>(start));
    return bytes;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray blockBytes(const WorkModeBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(block.raw().data()),
                      static_cast<qsizetype>(block.raw().size()));
}

struct FakeChooser : FileChooser {
    std::optional<QString> open, save;
    int asked = 0;
    std::optional<QString> chooseOpen(QWidget*) override { return ++asked, open; }
    std::optional<QString> chooseSave(QWidget*) override { return ++asked, save; }
};

struct FakeBoxes : MessageBoxes {
    QStringList errors;
    QStringList questions;
    QString questionCaption;
    bool answer = true;
    void error(const QString& text) override { errors << text; }
    void information(const QString&, const QString&) override {}
    bool question(const QString& text, const QString& caption) override {
        questions << text;
        questionCaption = caption;
        return answer;
    }
};

class AssignmentFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        displayTexts().resetToBuiltIn();
        block_.replaceAll(std::span<const uint8_t, kBlockSize>(
            reinterpret_cast<const uint8_t*>(counting(108, 50).constData()), kBlockSize));
        before_ = block_;
    }
    void TearDown() override { setExecutableDirForTesting(QString()); }

    QTemporaryDir dir_;
    WorkModeBlock block_, before_;
    FakeChooser chooser_;
    FakeBoxes boxes_;
    int shown_ = 0;
    // The window takes a loaded block into its editing session; here it is simply kept.
    AssignmentFiles files_{[this]() -> const WorkModeBlock& { return block_; }, chooser_, boxes_,
                           [this](const WorkModeBlock& loaded) {
                               block_ = loaded;
                               ++shown_;
                           }};
};

} // namespace

TEST_F(AssignmentFilesTest, ReadTakesTheFirst108BytesOfAnyFileThatLong) {
    WorkModeBlock::Bytes out{};
    EXPECT_EQ(readKvf(writeFile(dir_, "a.kvf", counting(108)), out), KvfReadStatus::Ok);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[107], 108);
    EXPECT_EQ(readKvf(writeFile(dir_, "b.kvf", counting(200, 7)), out), KvfReadStatus::Ok);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[107], 114);
}

TEST_F(AssignmentFilesTest, ReadRejectsShortMissingAndNonRegularFiles) {
    WorkModeBlock::Bytes out{};
    EXPECT_EQ(readKvf(writeFile(dir_, "short.kvf", counting(107)), out), KvfReadStatus::FileInvalid);
    EXPECT_EQ(readKvf(writeFile(dir_, "empty.kvf", {}), out), KvfReadStatus::FileInvalid);
    EXPECT_EQ(readKvf(dir_.filePath("missing.kvf"), out), KvfReadStatus::CreateFileError);
    EXPECT_EQ(readKvf(dir_.path(), out), KvfReadStatus::CreateFileError);
    const QString fifo = dir_.filePath("pipe.kvf");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(readKvf(fifo, out), KvfReadStatus::CreateFileError); // and does not block
}

TEST_F(AssignmentFilesTest, SaveThenLoadGivesTheSame108Bytes) {
    const QString path = dir_.filePath("round.kvf");
    chooser_.save = path;
    files_.save(nullptr);
    EXPECT_TRUE(boxes_.errors.isEmpty());
    EXPECT_EQ(readAll(path), blockBytes(before_));

    block_ = WorkModeBlock{};
    chooser_.open = path;
    files_.load(nullptr);
    EXPECT_EQ(block_, before_);
    EXPECT_EQ(shown_, 1);
}

TEST_F(AssignmentFilesTest, LoadFailuresShowTheirBoxAndChangeNothing) {
    struct Case {
        QByteArray bytes;
        const char* message;
    };
    for (const Case& c : {Case{counting(107), "File invalid"}, Case{QByteArray(), "File invalid"}}) {
        boxes_.errors.clear();
        chooser_.open = writeFile(dir_, "bad.kvf", c.bytes);
        files_.load(nullptr);
        EXPECT_EQ(boxes_.errors, QStringList{QString::fromLatin1(c.message)});
    }
    boxes_.errors.clear();
    chooser_.open = dir_.filePath("nope.kvf");
    files_.load(nullptr);
    EXPECT_EQ(boxes_.errors, QStringList{"CreateFile error"});
    EXPECT_EQ(block_, before_);
    EXPECT_EQ(shown_, 0);
}

TEST_F(AssignmentFilesTest, CancelledChoosersDoNothing) {
    files_.load(nullptr);
    files_.save(nullptr);
    EXPECT_EQ(chooser_.asked, 2);
    EXPECT_TRUE(boxes_.errors.isEmpty());
    EXPECT_EQ(block_, before_);
    EXPECT_EQ(shown_, 0);
}

TEST_F(AssignmentFilesTest, SaveIntoAMissingFolderIsCreateFileError) {
    chooser_.save = dir_.filePath("no/such/folder/x.kvf");
    files_.save(nullptr);
    EXPECT_EQ(boxes_.errors, QStringList{"CreateFile error"});
}

// A full disk on a real file system is tested in tests/files; here each failing step of the
// writer gives the same box.
TEST_F(AssignmentFilesTest, FailedWriteIsReportedAndLeavesTheEarlierFileAsItWas) {
    const QString path = writeFile(dir_, "keep.kvf", counting(108, 9));
    const kvf::WriteStep steps[] = {kvf::WriteStep::Write, kvf::WriteStep::SyncFile, kvf::WriteStep::Rename};
    for (const kvf::WriteStep step : steps) {
        kvf::failStepForTesting(step, ENOSPC);
        boxes_.errors.clear();
        chooser_.save = path;
        files_.save(nullptr);
        kvf::failStepForTesting(kvf::WriteStep::None, 0);
        EXPECT_EQ(boxes_.errors, QStringList{"WriteFile error"}) << int(step);
        EXPECT_EQ(readAll(path), counting(108, 9)) << int(step);
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.kvf"})
            << int(step) << ": no temporary left";
    }
    // The new file replaced the old one, but the folder could not be synced: also a failed save.
    kvf::failStepForTesting(kvf::WriteStep::SyncFolder, EIO);
    boxes_.errors.clear();
    files_.save(nullptr);
    kvf::failStepForTesting(kvf::WriteStep::None, 0);
    EXPECT_EQ(boxes_.errors, QStringList{"WriteFile error"});
    EXPECT_EQ(readAll(path), blockBytes(block_));
}

TEST_F(AssignmentFilesTest, RestoreDefaultAsksWithTheTitleAsCaption) {
    setExecutableDirForTesting(dir_.path());
    writeFile(dir_, "default.kvf", counting(108, 3));
    boxes_.answer = false;
    files_.restoreDefault();
    EXPECT_EQ(boxes_.questions, QStringList{"是否恢复默认"});
    EXPECT_EQ(boxes_.questionCaption, "");
    EXPECT_EQ(block_, before_);

    boxes_.answer = true;
    files_.restoreDefault();
    EXPECT_EQ(blockBytes(block_), counting(108, 3));
    EXPECT_EQ(shown_, 1);
}

TEST_F(AssignmentFilesTest, RestoreDefaultFailuresAreSilent) {
    setExecutableDirForTesting(dir_.path());
    files_.restoreDefault(); // no default.kvf
    writeFile(dir_, "default.kvf", counting(50));
    files_.restoreDefault(); // 50 bytes
    EXPECT_EQ(boxes_.questions.size(), 2);
    EXPECT_TRUE(boxes_.errors.isEmpty());
    EXPECT_EQ(block_, before_);
    EXPECT_EQ(shown_, 0);
}

TEST(DefaultKvf, DeliveredFileIsAPreparedBlockForAllFourConsoles) {
    QFile file(QStringLiteral(VELORIN_DEFAULT_KVF));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 108);
    WorkModeBlock block;
    block.replaceAll(std::span<const uint8_t, kBlockSize>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                          kBlockSize));
    for (ConsoleId console : kBlockOrder) {
        const auto rec = block.record(console);
        EXPECT_EQ(rec[0], static_cast<uint8_t>(console));
        for (int i = 6; i <= 9; ++i)
            EXPECT_EQ(rec[i], 0);
        for (PadButton button : consoleInfo(console).buttons)
            EXPECT_NE(block.button(console, button), 0) << padButtonName(button); // every box has a key
    }
    EXPECT_EQ(block.record(ConsoleId::PS3)[26], 0);
    EXPECT_EQ(block.record(ConsoleId::XBOX)[26], 0);
}

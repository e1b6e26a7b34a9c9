#include "app/AssignmentFiles.h"

#include "model/DisplayTexts.h"
#include "model/Paths.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

namespace velorin::app {

KvfReadStatus readKvf(const QString& path, WorkModeBlock::Bytes& out) {
    // Only regular files: opening a FIFO or reading a character device could block for ever.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return KvfReadStatus::CreateFileError;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return KvfReadStatus::CreateFileError;
    qint64 total = 0;
    while (total < static_cast<qint64>(out.size())) {
        const qint64 n =
            file.read(reinterpret_cast<char*>(out.data()) + total, static_cast<qint64>(out.size()) - total);
        if (n < 0)
            return KvfReadStatus::ReadFileError;
        if (n == 0)
            break;
        total += n;
    }
    return total == static_cast<qint64>(out.size()) ? KvfReadStatus::Ok : KvfReadStatus::FileInvalid;
}

namespace {
qint64 realWrite(QIODevice& file, const char* data, qint64 size) {
    return file.write(data, size);
}
KvfWriter kvfWriter = &realWrite;
} // namespace

void setKvfWriterForTesting(KvfWriter writer) {
    kvfWriter = writer ? writer : &realWrite;
}

KvfWriteStatus writeKvf(const QString& path, const WorkModeBlock& block) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return KvfWriteStatus::CreateFileError;
    const auto bytes = block.raw();
    const qint64 written =
        kvfWriter(file, reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (written != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return KvfWriteStatus::WriteFileError;
    }
    return file.commit() ? KvfWriteStatus::Ok : KvfWriteStatus::WriteFileError;
}

QString messageFor(KvfReadStatus status) {
    switch (status) {
    case KvfReadStatus::Ok:
        return {};
    case KvfReadStatus::CreateFileError:
        return QStringLiteral("CreateFile error");
    case KvfReadStatus::ReadFileError:
        return QStringLiteral("ReadFile error");
    case KvfReadStatus::FileInvalid:
        return QStringLiteral("File invalid");
    }
    return {};
}

QString messageFor(KvfWriteStatus status) {
    switch (status) {
    case KvfWriteStatus::Ok:
        return {};
    case KvfWriteStatus::CreateFileError:
        return QStringLiteral("CreateFile error");
    case KvfWriteStatus::WriteFileError:
        return QStringLiteral("WriteFile error");
    }
    return {};
}

namespace {

QFileDialog* makeDialog(QWidget* owner, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(owner ? owner : QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("kvf files(*.kvf)"));
    dialog->setDefaultSuffix(QStringLiteral("kvf"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        dialog->setDirectory(documents);
    return dialog;
}

std::optional<QString> runDialog(QWidget* owner, QFileDialog::AcceptMode mode) {
    // Parented to the owner for placement; deleted here whatever happens.
    std::unique_ptr<QFileDialog> dialog(makeDialog(owner, mode));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

} // namespace

std::optional<QString> QtFileChooser::chooseOpen(QWidget* owner) {
    return runDialog(owner, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileChooser::chooseSave(QWidget* owner) {
    return runDialog(owner, QFileDialog::AcceptSave);
}

void QtMessageBoxes::error(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void QtMessageBoxes::information(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool QtMessageBoxes::question(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

AssignmentFiles::AssignmentFiles(WorkModeBlock& block, FileChooser& chooser, MessageBoxes& boxes,
                                 std::function<void()> showAll)
    : block_(block), chooser_(chooser), boxes_(boxes), showAll_(std::move(showAll)) {}

void AssignmentFiles::load(QWidget* owner) {
    const std::optional<QString> path = chooser_.chooseOpen(owner);
    if (!path)
        return;
    WorkModeBlock::Bytes bytes{};
    const KvfReadStatus status = readKvf(*path, bytes);
    if (status != KvfReadStatus::Ok) {
        boxes_.error(messageFor(status));
        return;
    }
    block_.replaceAll(bytes);
    showAll_();
}

void AssignmentFiles::save(QWidget* owner) {
    const std::optional<QString> path = chooser_.chooseSave(owner);
    if (!path)
        return;
    const KvfWriteStatus status = writeKvf(*path, block_);
    if (status != KvfWriteStatus::Ok)
        boxes_.error(messageFor(status));
}

void AssignmentFiles::restoreDefault() {
    const DisplayTexts& texts = displayTexts();
    if (!boxes_.question(texts.get(DisplayText::msgRestore), texts.get(DisplayText::title)))
        return;
    WorkModeBlock::Bytes bytes{};
    if (readKvf(defaultFilePath(), bytes) != KvfReadStatus::Ok)
        return;
    block_.replaceAll(bytes);
    showAll_();
}

QString AssignmentFiles::defaultFilePath() {
    return executableDir() + QStringLiteral("default.kvf");
}

} // namespace velorin::app

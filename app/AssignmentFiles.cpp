#include "app/AssignmentFiles.h"

#include "app/CloseQuestion.h"

#include "model/DisplayTexts.h"
#include "model/KvfCodec.h"
#include "model/Paths.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

#include <memory>

namespace velorin::app {

KvfReadStatus readKvf(const QString& path, WorkModeBlock::Bytes& out) {
    const auto block = kvf::read(path, kvf::SizeRule::AtLeastBlock);
    if (block) {
        out = block->bytes();
        return KvfReadStatus::Ok;
    }
    switch (block.kind()) {
    case kvf::ErrorKind::CannotRead:
        return KvfReadStatus::ReadFileError;
    case kvf::ErrorKind::TooShort:
        return KvfReadStatus::FileInvalid;
    default:
        return KvfReadStatus::CreateFileError; // missing, not a regular file, cannot be opened
    }
}

KvfWriteStatus writeKvf(const QString& path, const WorkModeBlock& block) {
    const auto written = kvf::write(path, block);
    if (written)
        return KvfWriteStatus::Ok;
    return written.kind() == kvf::ErrorKind::CannotCreate ? KvfWriteStatus::CreateFileError
                                                          : KvfWriteStatus::WriteFileError;
}

QString messageFor(KvfReadStatus status) {
    switch (status) {
    case KvfReadStatus::Ok:
        return {};
    case KvfReadStatus::CreateFileError:
        return QCoreApplication::translate("messages", "CreateFile error");
    case KvfReadStatus::ReadFileError:
        return QCoreApplication::translate("messages", "ReadFile error");
    case KvfReadStatus::FileInvalid:
        return QCoreApplication::translate("messages", "File invalid");
    }
    return {};
}

QString messageFor(KvfWriteStatus status) {
    switch (status) {
    case KvfWriteStatus::Ok:
        return {};
    case KvfWriteStatus::CreateFileError:
        return QCoreApplication::translate("messages", "CreateFile error");
    case KvfWriteStatus::WriteFileError:
        return QCoreApplication::translate("messages", "WriteFile error");
    }
    return {};
}

namespace {

QFileDialog* makeDialog(QWidget* owner, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(owner ? owner : QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setWindowTitle(mode == QFileDialog::AcceptOpen
                               ? QCoreApplication::translate("file_dialog", "Open")
                               : QCoreApplication::translate("file_dialog", "Save As"));
    dialog->setNameFilter(QCoreApplication::translate("file_dialog", "kvf files(*.kvf)"));
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

CloseAnswer MessageBoxes::applyBeforeClosing(const QString&, const QString&, const QString&) {
    return CloseAnswer::Discard;
}

CloseAnswer QtMessageBoxes::applyBeforeClosing(const QString& text, const QString& caption,
                                               const QString& applyLabel) {
    return askApplyBeforeClosing(nullptr, text, caption, applyLabel);
}

AssignmentFiles::AssignmentFiles(std::function<const WorkModeBlock&()> current, FileChooser& chooser,
                                 MessageBoxes& boxes, std::function<void(const WorkModeBlock&)> loaded)
    : current_(std::move(current)), chooser_(chooser), boxes_(boxes), loaded_(std::move(loaded)) {}

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
    WorkModeBlock block;
    block.replaceAll(bytes);
    loaded_(block);
}

void AssignmentFiles::save(QWidget* owner) {
    const std::optional<QString> path = chooser_.chooseSave(owner);
    if (!path)
        return;
    const KvfWriteStatus status = writeKvf(*path, current_());
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
    WorkModeBlock block;
    block.replaceAll(bytes);
    loaded_(block);
}

QString AssignmentFiles::defaultFilePath() {
    return executableDir() + QStringLiteral("default.kvf");
}

} // namespace velorin::app

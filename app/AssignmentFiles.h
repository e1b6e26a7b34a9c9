// ".kvf" assignment files: the 108-byte block, byte for byte, with no header. Load, save and
// restore-default commands, with the chooser and the message boxes behind small interfaces.
#pragma once

#include "core/WorkMode.h"
#include "model/KvfCodec.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace velorin::app {

enum class KvfReadStatus { Ok, CreateFileError, ReadFileError, FileInvalid };
enum class KvfWriteStatus { Ok, CreateFileError, WriteFileError };

// Reads the first 108 bytes of a file; bytes beyond are ignored, fewer is FileInvalid.
KvfReadStatus readKvf(const QString& path, WorkModeBlock::Bytes& out);
// Writes the block atomically (kvf::writeAtomically): the file is replaced only when all 108 bytes
// were written and synced, so a failed save (a full disk included) leaves the earlier file exactly
// as it was. CreateFileError when the file cannot be created, WriteFileError for every later
// failure.
KvfWriteStatus writeKvf(const QString& path, const WorkModeBlock& block);

// The error box text for a failed read or write ("CreateFile error", ...), empty for Ok.
QString messageFor(KvfReadStatus status);
QString messageFor(KvfWriteStatus status);

// The open and save choosers: filter "kvf files(*.kvf)", default suffix "kvf", the documents
// folder, and a question before overwriting. nullopt when cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> chooseOpen(QWidget* owner) = 0;
    virtual std::optional<QString> chooseSave(QWidget* owner) = 0;
};

// The answers to the question before closing with changes not yet applied.
enum class CloseAnswer { Apply, Discard, Cancel };

// Message boxes, owned by the active window.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Error icon, OK button, no caption of its own.
    virtual void error(const QString& text) = 0;
    // No icon, the given caption, OK button.
    virtual void information(const QString& text, const QString& caption) = 0;
    // No icon, Yes and No; true for Yes.
    virtual bool question(const QString& text, const QString& caption) = 0;
    // No icon, the given caption; `applyLabel`, discard, and cancel (the default, also Esc and
    // the box's own close). Boxes that cannot ask let the window close as it did before the
    // question existed.
    virtual CloseAnswer applyBeforeClosing(const QString& text, const QString& caption,
                                           const QString& applyLabel);
};

// The real ones: QFileDialog and QMessageBox, and the question before closing (CloseQuestion.h).
class QtFileChooser final : public FileChooser {
public:
    std::optional<QString> chooseOpen(QWidget* owner) override;
    std::optional<QString> chooseSave(QWidget* owner) override;
};
class QtMessageBoxes final : public MessageBoxes {
public:
    void error(const QString& text) override;
    void information(const QString& text, const QString& caption) override;
    bool question(const QString& text, const QString& caption) override;
    CloseAnswer applyBeforeClosing(const QString& text, const QString& caption,
                                   const QString& applyLabel) override;
};

// The three file commands of the main window. `current` gives the block to save; `loaded` takes a
// block read from a file or the default (the window makes it the user's change).
class AssignmentFiles {
public:
    AssignmentFiles(std::function<const WorkModeBlock&()> current, FileChooser& chooser, MessageBoxes& boxes,
                    std::function<void(const WorkModeBlock&)> loaded);

    void load(QWidget* owner);
    void save(QWidget* owner);
    // Asks first; after Yes reads "default.kvf" beside the executable. Any failure after the
    // question is silent and changes nothing.
    void restoreDefault();

    static QString defaultFilePath();

private:
    std::function<const WorkModeBlock&()> current_;
    FileChooser& chooser_;
    MessageBoxes& boxes_;
    std::function<void(const WorkModeBlock&)> loaded_;
};

} // namespace velorin::app

// The eleven display texts the user sees (title, command captions, menu entries, two messages),
// their built-in values, and the optional override file "lang.xml" beside the executable.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <span>

namespace pugi {
class xml_document;
}

namespace velorin {

enum class DisplayText : uint8_t {
    title,
    loadcfg,
    savecfg,
    default_,
    applay,
    keyboard,
    Lclick,
    Rclick,
    Mclick,
    msgRestore,
    msgsuccess,
};
inline constexpr int kDisplayTextCount = 11;

// The element name under which "lang.xml" supplies a text ("default" for default_).
const char* displayTextKey(DisplayText which);

class DisplayTexts {
public:
    // Files larger than this are not read (a real override file is a few hundred bytes).
    static constexpr qint64 kMaxFileSize = 1 << 20;

    DisplayTexts() { resetToBuiltIn(); }

    // A built-in value is shown in the installed language (context "display_texts"); a text from
    // the override file is shown as the file gives it.
    QString get(DisplayText which) const;
    // Whether the override file was loaded (read and well-formed).
    bool loaded() const { return loaded_; }

    void resetToBuiltIn();
    // Reads "lang.xml" from the folder of the running executable.
    void loadOverride();
    // Reads an override file: a missing or malformed file changes nothing but the loaded flag;
    // a well-formed one replaces all eleven texts, with an empty text for every missing entry.
    void loadOverrideFile(const QString& path);
    // The same for the file's bytes already in memory.
    void loadOverrideBuffer(std::span<const char> data);

private:
    void applyOverride(const pugi::xml_document& doc);

    std::array<QString, kDisplayTextCount> texts_; // from the override file
    bool builtIn_ = true;                          // texts_ unused: the built-in values apply
    bool loaded_ = false;
};

// The process-wide texts; used on the UI thread only.
DisplayTexts& displayTexts();

} // namespace velorin

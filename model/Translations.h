// A translation document of res/translator read without widgets:
//   <language name="..." guid="{...}"> <context name="ctx"> <message><source/><translation/></message> ...
// Contexts and sources match exactly; an empty translation counts as none. The window's translator
// (ui/Translator.h) is built on it, and the English and Japanese documents are compiled into this
// library as well, for programs that have no window and no resource package (velorinctl's sheet).
#pragma once

#include "core/Result.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace velorin {

enum class TranslationErrorKind { None, TooLarge, Malformed, NotATranslation };

class TranslationDocument {
public:
    // Documents larger than this are refused.
    static constexpr qsizetype kMaxDocumentBytes = 4 * 1024 * 1024;

    static Result<TranslationDocument, Error<TranslationErrorKind>> parse(QByteArrayView xml);

    // The translation of `source` under `context`; empty when the document has none.
    QString translate(QStringView context, QStringView source) const;

    QString languageName() const { return name_; }
    QString guid() const { return guid_; }
    int messageCount() const { return int(messages_.size()); }

private:
    QHash<QString, QString> messages_; // context NUL source -> translation
    QString name_;
    QString guid_;
};

// The compiled-in document "en" or "ja" (res/translator/<name>.xml); nullptr for any other name.
// Chinese needs none: its texts are the sources.
const TranslationDocument* builtInTranslation(QStringView name);

} // namespace velorin

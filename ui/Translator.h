// A QTranslator filled from a translation document (model/Translations.h reads it): contexts and
// sources match exactly; an empty translation counts as none.
#pragma once

#include "model/Translations.h"

#include <QString>
#include <QTranslator>

namespace velorin::ui {

class XmlTranslator : public QTranslator {
    Q_OBJECT
public:
    using QTranslator::QTranslator;

    // Parses the document; false (and the translator stays empty) when it is not a translation document.
    bool loadDocument(const QByteArray& xml);

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return document_.messageCount() == 0; }

    QString languageName() const { return document_.languageName(); }
    QString guid() const { return document_.guid(); }
    int messageCount() const { return document_.messageCount(); }

    // Documents larger than this are refused.
    static constexpr qsizetype kMaxDocumentBytes = TranslationDocument::kMaxDocumentBytes;

private:
    TranslationDocument document_;
};

} // namespace velorin::ui

// A QTranslator filled from a translation document:
//   <language name="..." guid="{...}"> <context name="ctx"> <message><source/><translation/></message> ...
// Contexts and sources match exactly; an empty translation counts as none.
#pragma once

#include <QHash>
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
    bool isEmpty() const override { return messages_.isEmpty(); }

    QString languageName() const { return name_; }
    QString guid() const { return guid_; }
    int messageCount() const { return int(messages_.size()); }

    // Documents larger than this are refused.
    static constexpr qsizetype kMaxDocumentBytes = 4 * 1024 * 1024;

private:
    static QString key(QStringView context, QStringView source);
    QHash<QString, QString> messages_;
    QString name_;
    QString guid_;
};

} // namespace velorin::ui

#include "KvfJson.h"

#include "CtlPrint.h"
#include "KeyNames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cctype>

namespace velorin::ctl {

namespace {

QString word(ConsoleId console) {
    const std::string_view w = consoleInfo(console).word;
    return QString::fromLatin1(w.data(), static_cast<qsizetype>(w.size()));
}

QString name(PadButton button) {
    const std::string_view n = padButtonName(button);
    return QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size()));
}

QString hex(ConstRecordSpan record) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(record.data()), static_cast<qsizetype>(record.size()))
            .toHex());
}

// The console's button whose name matches, ignoring case.
std::optional<PadButton> buttonOf(ConsoleId console, const QString& text) {
    for (const PadButton b : consoleInfo(console).buttons) {
        if (text.compare(name(b), Qt::CaseInsensitive) == 0)
            return b;
    }
    return std::nullopt;
}

std::optional<KeyCode> keyFromJson(const QJsonValue& v) {
    if (v.isNull())
        return KEY_NONE;
    if (v.isString())
        return parseKeyName(v.toString());
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d >= 0 && d <= 255 && d == static_cast<int>(d))
            return static_cast<KeyCode>(d);
    }
    return std::nullopt;
}

QString describe(const QJsonValue& v) {
    if (v.isString())
        return QLatin1Char('"') + v.toString().left(40) + QLatin1Char('"');
    if (v.isDouble())
        return QString::number(v.toDouble());
    return QStringLiteral("(not a name or a number)");
}

QString consoleList() {
    return consoleWords(QStringLiteral(", "));
}

JsonError fail(JsonErrorKind kind, const QString& message) {
    return {kind, message.toStdString()};
}

Status<JsonError> readRecord(ConsoleId console, const QJsonValue& value, RecordSpan record) {
    const QString where = QStringLiteral("consoles.%1").arg(word(console));
    if (!value.isObject())
        return fail(JsonErrorKind::BadRecord, QStringLiteral("%1 must be an object").arg(where));
    const QJsonObject obj = value.toObject();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (it.key() != u"id" && it.key() != u"buttons" && it.key() != u"raw")
            return fail(JsonErrorKind::BadRecord,
                        QStringLiteral("%1: unknown field \"%2\" (expected id, buttons, raw)")
                            .arg(where, it.key().left(40)));
    }
    std::fill(record.begin(), record.end(), uint8_t{0});
    record[0] = static_cast<uint8_t>(console);
    if (obj.contains(u"raw")) {
        const QJsonValue raw = obj.value(u"raw");
        QByteArray text = raw.toString().toLatin1();
        text.replace(' ', QByteArray());
        bool digits = raw.isString() && text.size() == static_cast<qsizetype>(2 * kRecordSize);
        for (const char c : text)
            digits = digits && std::isxdigit(static_cast<unsigned char>(c));
        if (!digits)
            return fail(JsonErrorKind::BadRecord,
                        QStringLiteral("%1.raw must be %2 hex digits (the 27-byte record)")
                            .arg(where)
                            .arg(2 * kRecordSize));
        const QByteArray bytes = QByteArray::fromHex(text);
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(record.data()));
    }
    if (obj.contains(u"id")) {
        const QJsonValue id = obj.value(u"id");
        const double d = id.toDouble(-1);
        if (!id.isDouble() || d < 0 || d > 255 || d != static_cast<int>(d))
            return fail(JsonErrorKind::BadRecord,
                        QStringLiteral("%1.id must be a number from 0 to 255").arg(where));
        record[0] = static_cast<uint8_t>(d);
    }
    if (obj.contains(u"buttons")) {
        const QJsonValue buttons = obj.value(u"buttons");
        if (!buttons.isObject())
            return fail(JsonErrorKind::BadRecord, QStringLiteral("%1.buttons must be an object").arg(where));
        const QJsonObject map = buttons.toObject();
        for (auto it = map.begin(); it != map.end(); ++it) {
            const std::optional<PadButton> button = buttonOf(console, it.key());
            if (!button) {
                QStringList names;
                for (const PadButton b : consoleInfo(console).buttons)
                    names << name(b);
                return fail(
                    JsonErrorKind::BadRecord,
                    QStringLiteral("%1.buttons: unknown button \"%2\" for %3 (its buttons are: %4)")
                        .arg(where, it.key().left(40), word(console), names.join(QStringLiteral(", "))));
            }
            const std::optional<KeyCode> code = keyFromJson(it.value());
            if (!code) {
                return fail(
                    JsonErrorKind::BadRecord,
                    QStringLiteral("%1.buttons.%2: unknown key %3 (use a key name such as A, F1, Space, "
                                   "KP_Enter, mouse-left, none, or 0xNN; `velorinctl help keys` lists them)")
                        .arg(where, name(*button), describe(it.value())));
            }
            record[static_cast<std::size_t>(recordByte(*button))] = *code;
        }
    }
    return Done{};
}

} // namespace

QByteArray blockToJson(const WorkModeBlock& block) {
    QByteArray out;
    out += "{\n  \"format\": \"velorin-kvf\",\n  \"version\": ";
    out += QByteArray::number(kJsonLayoutVersion);
    out += ",\n  \"consoles\": {\n";
    for (std::size_t c = 0; c < kBlockOrder.size(); ++c) {
        const ConsoleId console = kBlockOrder[c];
        const ConstRecordSpan record = block.record(console);
        out += "    \"" + word(console).toLatin1() + "\": {\n";
        out += "      \"id\": " + QByteArray::number(record[0]) + ",\n";
        out += "      \"buttons\": {\n";
        const auto buttons = consoleInfo(console).buttons;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const KeyCode code = record[static_cast<std::size_t>(recordByte(buttons[i]))];
            out += "        \"" + name(buttons[i]).toLatin1() + "\": \"" + keyName(code).toLatin1() + "\"";
            out += i + 1 < buttons.size() ? ",\n" : "\n";
        }
        out += "      },\n";
        out += "      \"raw\": \"" + hex(record).toLatin1() + "\"\n";
        out += c + 1 < kBlockOrder.size() ? "    },\n" : "    }\n";
    }
    out += "  }\n}\n";
    return out;
}

Result<WorkModeBlock, JsonError> blockFromJson(const QByteArray& json) {
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(JsonErrorKind::NotJson, QStringLiteral("not valid JSON: %1 at offset %2")
                                                .arg(parseError.errorString())
                                                .arg(parseError.offset));
    if (!doc.isObject())
        return fail(JsonErrorKind::NotLayout,
                    QStringLiteral("the JSON must be an object with \"format\": \"velorin-kvf\""));
    const QJsonObject top = doc.object();
    if (top.value(u"format").toString() != u"velorin-kvf")
        return fail(
            JsonErrorKind::NotLayout,
            QStringLiteral("\"format\" must be \"velorin-kvf\" (is this a file from velorinctl export?)"));
    const QJsonValue version = top.value(u"version");
    if (!version.isDouble() || version.toDouble() != kJsonLayoutVersion) {
        return fail(JsonErrorKind::NotLayout,
                    QStringLiteral("\"version\" must be %1; this velorinctl reads layout version %1 only")
                        .arg(kJsonLayoutVersion));
    }
    const QJsonValue consolesValue = top.value(u"consoles");
    if (!consolesValue.isObject())
        return fail(JsonErrorKind::NotLayout,
                    QStringLiteral("\"consoles\" must be an object with %1").arg(consoleList()));
    const QJsonObject consoles = consolesValue.toObject();
    for (auto it = consoles.begin(); it != consoles.end(); ++it) {
        const std::optional<ConsoleId> id = consoleFromName(it.key().toStdString());
        if (!id || it.key() != word(*id))
            return fail(
                JsonErrorKind::BadConsoles,
                QStringLiteral("unknown console \"%1\" (expected %2)").arg(it.key().left(40), consoleList()));
    }
    WorkModeBlock block;
    for (const ConsoleId console : kBlockOrder) {
        if (!consoles.contains(word(console))) {
            return fail(JsonErrorKind::BadConsoles,
                        QStringLiteral("console \"%1\" is missing; a .kvf file holds all four (%2)")
                            .arg(word(console), consoleList()));
        }
        if (auto read = readRecord(console, consoles.value(word(console)), block.record(console)); !read)
            return read.error();
    }
    return block;
}

} // namespace velorin::ctl

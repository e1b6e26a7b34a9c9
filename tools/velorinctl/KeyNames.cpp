#include "KeyNames.h"

namespace velorin::ctl {

namespace {

QString latin(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString keyName(KeyCode code) {
    return QString::fromStdString(keyCommandName(code));
}

std::optional<KeyCode> parseKeyName(const QString& text) {
    return keyCodeFromCommandName(text.toStdString());
}

QString buttonLabel(PadButton button) {
    return latin(padButtonCommandName(button));
}

std::optional<PadButton> parseButtonName(const QString& text) {
    return padButtonFromCommandName(text.toStdString());
}

QStringList allKeyNames() {
    QStringList out;
    for (int code = 1; code <= 0xFF; ++code) {
        const QString name = keyName(static_cast<KeyCode>(code));
        if (!name.startsWith(QLatin1String("0x")))
            out << name;
    }
    return out;
}

} // namespace velorin::ctl

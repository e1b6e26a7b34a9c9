#include "KeyNames.h"

#include <utility>

namespace velorin::ctl {

namespace {

struct NamedCode {
    KeyCode code;
    const char* name;
};

// Codes with a fixed name, apart from letters, digits and F1-F12 (built below).
constexpr NamedCode kNamed[] = {
    {0x28, "Enter"},        {0x29, "Esc"},       {0x2A, "Backspace"},  {0x2B, "Tab"},
    {0x2C, "Space"},        {0x35, "Grave"},     {0x39, "CapsLock"},   {0x49, "Insert"},
    {0x4A, "Home"},         {0x4B, "PageUp"},    {0x4C, "Delete"},     {0x4D, "End"},
    {0x4E, "PageDown"},     {0x4F, "Right"},     {0x50, "Left"},       {0x51, "Down"},
    {0x52, "Up"},           {0x53, "NumLock"},   {0x54, "KP_Divide"},  {0x55, "KP_Multiply"},
    {0x56, "KP_Minus"},     {0x57, "KP_Plus"},   {0x58, "KP_Enter"},   {0x59, "KP_1"},
    {0x5A, "KP_2"},         {0x5B, "KP_3"},      {0x5C, "KP_4"},       {0x5D, "KP_5"},
    {0x5E, "KP_6"},         {0x5F, "KP_7"},      {0x60, "KP_8"},       {0x61, "KP_9"},
    {0x62, "KP_0"},         {0x63, "KP_Period"}, {0xA0, "mouse-left"}, {0xA1, "mouse-right"},
    {0xA2, "mouse-middle"}, {0xE0, "LCtrl"},     {0xE1, "LShift"},     {0xE2, "LAlt"},
    {0xE3, "LWin"},         {0xE4, "RCtrl"},     {0xE5, "RShift"},     {0xE6, "RAlt"},
    {0xE7, "RWin"},
};

// Other accepted spellings, including the window's box texts where they are unambiguous.
constexpr std::pair<const char*, KeyCode> kAliases[] = {
    {"Return", 0x28},    {"Escape", 0x29},     {"BackSpace", 0x2A}, {"`", 0x35},        {"Caps", 0x39},
    {"Ins", 0x49},       {"PgUp", 0x4B},       {"Del", 0x4C},       {"PgDn", 0x4E},     {"RightArrow", 0x4F},
    {"LeftArrow", 0x50}, {"DownArrow", 0x51},  {"UpArrow", 0x52},   {"KP_Slash", 0x54}, {"KP_Asterisk", 0x55},
    {"KP_Dot", 0x63},    {"KP_Decimal", 0x63}, {"Ctrl", 0xE0},      {"Shift", 0xE1},    {"Alt", 0xE2},
    {"Win", 0xE3},       {"Super", 0xE3},      {"LSuper", 0xE3},    {"RSuper", 0xE7},   {"mouse-l", 0xA0},
    {"mouse-r", 0xA1},   {"mouse-m", 0xA2},    {"Lclick", 0xA0},    {"Rclick", 0xA1},   {"Mclick", 0xA2},
};

} // namespace

QString keyName(KeyCode code) {
    if (code == KEY_NONE)
        return QStringLiteral("none");
    if (code >= 0x04 && code <= 0x1D)
        return QString(QChar(char16_t(u'A' + (code - 0x04))));
    if (code >= 0x1E && code <= 0x26)
        return QString::number(code - 0x1D);
    if (code == 0x27)
        return QStringLiteral("0");
    if (code >= 0x3A && code <= 0x45)
        return QStringLiteral("F%1").arg(code - 0x39);
    for (const NamedCode& n : kNamed) {
        if (n.code == code)
            return QString::fromLatin1(n.name);
    }
    return QStringLiteral("0x") + QString::number(code, 16).rightJustified(2, u'0').toUpper();
}

std::optional<KeyCode> parseKeyName(const QString& raw) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.size() > 32)
        return std::nullopt;
    if (text.size() == 1) {
        const char16_t c = text.at(0).toUpper().unicode();
        if (c >= u'A' && c <= u'Z')
            return static_cast<KeyCode>(0x04 + (c - u'A'));
        if (c >= u'1' && c <= u'9')
            return static_cast<KeyCode>(0x1E + (c - u'1'));
        if (c == u'0')
            return KeyCode{0x27};
    }
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = text.mid(2);
        if (digits.isEmpty() || digits.size() > 2)
            return std::nullopt;
        bool ok = false;
        const uint value = digits.toUInt(&ok, 16);
        if (!ok || value > 0xFF)
            return std::nullopt;
        return static_cast<KeyCode>(value);
    }
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return KEY_NONE;
    if ((text.at(0) == u'F' || text.at(0) == u'f') && text.size() <= 3) {
        bool ok = false;
        const int n = text.mid(1).toInt(&ok);
        if (ok && n >= 1 && n <= 12 && !text.mid(1).startsWith(u'0') && !text.mid(1).startsWith(u'+'))
            return static_cast<KeyCode>(0x39 + n);
    }
    for (const NamedCode& n : kNamed) {
        if (text.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0)
            return n.code;
    }
    for (const auto& [name, code] : kAliases) {
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return code;
    }
    return std::nullopt;
}

QString buttonLabel(PadButton button) {
    switch (button) {
    case PadButton::ARROW_UP:
        return QStringLiteral("UP");
    case PadButton::ARROW_DOWN:
        return QStringLiteral("DOWN");
    case PadButton::ARROW_L:
        return QStringLiteral("LEFT");
    case PadButton::ARROW_R:
        return QStringLiteral("RIGHT");
    case PadButton::lyhih_UP:
        return QStringLiteral("LSTICK_UP");
    case PadButton::lyhih_DOWN:
        return QStringLiteral("LSTICK_DOWN");
    case PadButton::lxhih_L:
        return QStringLiteral("LSTICK_LEFT");
    case PadButton::lxhih_R:
        return QStringLiteral("LSTICK_RIGHT");
    case PadButton::LSTICK_KEY:
        return QStringLiteral("L3");
    case PadButton::RSTICK_KEY:
        return QStringLiteral("R3");
    default:
        break;
    }
    const std::string_view name = padButtonName(button);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::optional<PadButton> parseButtonName(const QString& raw) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.size() > 32)
        return std::nullopt;
    for (int i = 0; i < kPadButtonCount; ++i) {
        const auto button = static_cast<PadButton>(i);
        const std::string_view element = padButtonName(button);
        if (text.compare(buttonLabel(button), Qt::CaseInsensitive) == 0 ||
            text.compare(QLatin1String(element.data(), static_cast<qsizetype>(element.size())),
                         Qt::CaseInsensitive) == 0)
            return button;
    }
    return std::nullopt;
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

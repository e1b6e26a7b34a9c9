#include "core/MappingLink.h"

#include "core/Kvf.h"

#include <array>
#include <cstdint>
#include <optional>

namespace velorin::mappinglink {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
static_assert(kAlphabet.size() == 64);

constexpr std::string_view kMappingKey = "m";

std::optional<uint8_t> sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint8_t>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint8_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0' + 52);
    if (c == '-')
        return uint8_t{62};
    if (c == '_')
        return uint8_t{63};
    return std::nullopt;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A character for a message: itself when printable ASCII, else its byte.
std::string shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F)
        return std::string("'") + c + "'";
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0x0F];
}

Error fail(ErrorKind kind, std::string detail) {
    return Error{kind, std::move(detail)};
}

} // namespace

std::string encodeBlock(const WorkModeBlock& block) {
    const auto bytes = block.raw();
    std::string out;
    out.reserve(kEncodedLength);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kAlphabet[(group >> shift) & 0x3F];
    }
    return out;
}

Result<std::string, Error> linkForBlock(const WorkModeBlock& block, std::string_view base) {
    base = base.substr(0, base.find('#'));
    if (base.empty())
        return fail(ErrorKind::BadBase, "no base address: give the address of the web page");
    if (base.size() + 3 + kEncodedLength > kMaxLinkLength)
        return fail(ErrorKind::BadBase, "the base address is " + std::to_string(base.size()) +
                                            " bytes long; a link is at most " +
                                            std::to_string(kMaxLinkLength));
    for (std::size_t i = 0; i < base.size(); ++i) {
        const auto byte = static_cast<unsigned char>(base[i]);
        if (byte <= 0x20 || byte == 0x7F)
            return fail(ErrorKind::BadBase, "the base address holds " + shown(base[i]) + " at position " +
                                                std::to_string(i + 1) +
                                                "; an address has no blanks or control characters");
    }
    return std::string(base) + "#" + std::string(kMappingKey) + "=" + encodeBlock(block);
}

Result<WorkModeBlock, Error> blockFromLink(std::string_view text) {
    if (text.size() > kMaxLinkLength)
        return fail(ErrorKind::TooLong, "the link is " + std::to_string(text.size()) +
                                            " bytes long; a mapping link is at most " +
                                            std::to_string(kMaxLinkLength));
    text = trimmed(text);
    // A link or a fragment: what follows the first '#'. Without one, a bare parameter list.
    if (const std::size_t hash = text.find('#'); hash != std::string_view::npos)
        text.remove_prefix(hash + 1);

    std::optional<std::string_view> mapping;
    while (true) {
        const std::size_t amp = text.find('&');
        const std::string_view parameter = text.substr(0, amp);
        const std::size_t eq = parameter.find('=');
        if (eq != std::string_view::npos && parameter.substr(0, eq) == kMappingKey) {
            if (mapping)
                return fail(ErrorKind::TwoMappings, "the link holds more than one m= mapping");
            mapping = parameter.substr(eq + 1);
        }
        if (amp == std::string_view::npos)
            break;
        text.remove_prefix(amp + 1);
    }
    if (!mapping)
        return fail(ErrorKind::NoMapping, "the link has no mapping: a mapping link ends in #m= and " +
                                              std::to_string(kEncodedLength) + " characters");
    if (mapping->size() != kEncodedLength)
        return fail(ErrorKind::WrongLength, "the mapping after m= is " + std::to_string(mapping->size()) +
                                                " characters long; it must be exactly " +
                                                std::to_string(kEncodedLength));

    std::array<uint8_t, kBlockSize> bytes{};
    for (std::size_t i = 0; i < kEncodedLength; i += 4) {
        uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = (*mapping)[i + k];
            const std::optional<uint8_t> value = sextet(c);
            if (!value)
                return fail(ErrorKind::BadCharacter,
                            "the mapping holds " + shown(c) + " at character " + std::to_string(i + k + 1) +
                                "; only A-Z, a-z, 0-9, '-' and '_' may appear (base64url)");
            group = (group << 6) | *value;
        }
        const std::size_t at = i / 4 * 3;
        bytes[at] = static_cast<uint8_t>(group >> 16);
        bytes[at + 1] = static_cast<uint8_t>(group >> 8);
        bytes[at + 2] = static_cast<uint8_t>(group);
    }
    auto block = kvf::blockFromFileBytes(bytes, kvf::SizeRule::ExactlyBlock);
    if (!block)
        return fail(ErrorKind::WrongLength, "the mapping does not hold the 108 bytes of a .kvf file");
    return *block;
}

} // namespace velorin::mappinglink

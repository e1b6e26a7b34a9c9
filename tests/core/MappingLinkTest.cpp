// The mapping link: the block as base64url after #m=, checked against RFC 4648's own test vector
// and against a second, independent encoder; every malformed link refused with its kind.
#include "core/MappingLink.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>

using namespace velorin;
using mappinglink::ErrorKind;

namespace {

WorkModeBlock blockOf(std::string_view bytes) {
    std::array<uint8_t, kBlockSize> raw{};
    for (std::size_t i = 0; i < raw.size() && i < bytes.size(); ++i)
        raw[i] = static_cast<uint8_t>(bytes[i]);
    WorkModeBlock block;
    block.replaceAll(raw);
    return block;
}

std::string repeat(std::string_view part, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += part;
    return out;
}

} // namespace

TEST(MappingLink, EncodesAsBase64UrlAndRefusesEveryMalformedLink) {
    // RFC 4648 §10: "foobar" is "Zm9vYmFy"; FB FF BF uses both characters that base64url changes.
    const WorkModeBlock foobar = blockOf(repeat("foobar", 17) + "\xFB\xFF\xBF\xFB\xFF\xBF");
    const std::string foobarText = repeat("Zm9vYmFy", 17) + "-_-_-_-_";
    EXPECT_EQ(mappinglink::encodeBlock(foobar), foobarText);
    // Bytes 0..107, as Python's base64.urlsafe_b64encode writes them.
    std::array<uint8_t, kBlockSize> counting{};
    std::iota(counting.begin(), counting.end(), uint8_t{0});
    WorkModeBlock countingBlock;
    countingBlock.replaceAll(counting);
    const std::string countingText =
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7P"
        "D0-P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWpr";
    EXPECT_EQ(mappinglink::encodeBlock(countingBlock), countingText);

    // The link replaces any fragment the base has; a bad base is refused.
    auto link = mappinglink::linkForBlock(foobar, "https://example.org/velorin/?lang=ja#old&m=x");
    ASSERT_TRUE(link);
    EXPECT_EQ(*link, "https://example.org/velorin/?lang=ja#m=" + foobarText);
    EXPECT_EQ(mappinglink::linkForBlock(foobar, "").kind(), ErrorKind::BadBase);
    EXPECT_EQ(mappinglink::linkForBlock(foobar, "#only-a-fragment").kind(), ErrorKind::BadBase);
    EXPECT_EQ(mappinglink::linkForBlock(foobar, "https://example.org/a b").kind(), ErrorKind::BadBase);
    EXPECT_EQ(mappinglink::linkForBlock(foobar, "https://example.org/" + std::string(8100, 'a')).kind(),
              ErrorKind::BadBase);

    const std::string good = countingText;
    struct Case {
        const char* what;
        std::string text;
        ErrorKind kind;     // None: decodes to the counting block
        const char* detail; // part of the detail of a refusal
    };
    const Case cases[] = {
        {"a whole link", "https://example.org/velorin/#m=" + good, ErrorKind::None, ""},
        {"a fragment", "#m=" + good, ErrorKind::None, ""},
        {"a bare parameter", "m=" + good, ErrorKind::None, ""},
        {"blanks around a pasted link", " \thttp://localhost:8765/#m=" + good + "\r\n", ErrorKind::None, ""},
        {"unknown parameters after", "#m=" + good + "&lang=ja&x", ErrorKind::None, ""},
        {"unknown parameters before", "#v=2&&m=" + good, ErrorKind::None, ""},
        {"a query m= is not the fragment's", "https://h/?m=" + good + "#v=1", ErrorKind::NoMapping, "#m="},
        {"two mappings", "#m=" + good + "&m=" + good, ErrorKind::TwoMappings, "more than one"},
        {"no fragment", "https://example.org/velorin/", ErrorKind::NoMapping, "no mapping"},
        {"an empty text", "", ErrorKind::NoMapping, "no mapping"},
        {"a key that only starts with m", "#mm=" + good, ErrorKind::NoMapping, "no mapping"},
        {"an empty mapping", "#m=", ErrorKind::WrongLength, "0 characters"},
        {"one character short", "#m=" + good.substr(1), ErrorKind::WrongLength, "143 characters"},
        {"one character long", "#m=" + good + "A", ErrorKind::WrongLength, "145 characters"},
        {"padding", "#m=" + good + "==", ErrorKind::WrongLength, "146 characters"},
        {"standard base64's +", "#m=+" + good.substr(1), ErrorKind::BadCharacter, "'+' at character 1"},
        {"a percent escape", "#m=%41" + good.substr(3), ErrorKind::BadCharacter, "'%'"},
        {"a blank inside", "#m=" + good.substr(0, 70) + " " + good.substr(71), ErrorKind::BadCharacter,
         "byte 0x20 at character 71"},
        {"non-ASCII", "#m=\xC3\xA9" + good.substr(2), ErrorKind::BadCharacter, "byte 0xC3"},
        {"a 10 MB fragment", "#m=" + std::string(10 * 1024 * 1024, 'A'), ErrorKind::TooLong,
         "10485763 bytes"},
        {"just over the bound", std::string(mappinglink::kMaxLinkLength - 147, 'a') + "#m=" + good + " ",
         ErrorKind::TooLong, "8193 bytes"},
    };
    for (const Case& c : cases) {
        const auto block = mappinglink::blockFromLink(c.text);
        EXPECT_EQ(block.kind(), c.kind) << c.what;
        if (c.kind == ErrorKind::None && block) {
            EXPECT_EQ(*block, countingBlock) << c.what;
        } else if (!block) {
            EXPECT_NE(block.error().detail.find(c.detail), std::string::npos)
                << c.what << ": " << block.error().detail;
        }
    }
}

// A mapping as a link: the 108 bytes of a .kvf block as base64url (RFC 4648 §5, no padding) in the
// fragment of the page's address, "#m=" followed by exactly 144 characters. A fragment never
// reaches a server, so the link works offline and the mapping stays with whoever has the link.
//
// The fragment is a list of key=value parameters joined by '&'. The mapping is the one named "m";
// parameters with other names are ignored, so a later page may add its own without breaking older
// readers. Two "m" parameters are refused: which one was meant cannot be told.
#pragma once

#include "core/Result.h"
#include "core/WorkMode.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace velorin::mappinglink {

// The characters of the encoded block: 108 bytes, 4 characters for every 3.
inline constexpr std::size_t kEncodedLength = kBlockSize / 3 * 4;
static_assert(kEncodedLength == 144);

// The longest text taken as a link, base address and whitespace around it included. Anything
// longer is refused by its length alone, before any of it is looked at.
inline constexpr std::size_t kMaxLinkLength = 8192;

enum class ErrorKind {
    None,
    TooLong,      // longer than kMaxLinkLength
    NoMapping,    // no "m=" parameter (in the fragment, or as a bare fragment)
    TwoMappings,  // more than one "m=" parameter
    WrongLength,  // the mapping is not 144 characters long
    BadCharacter, // a character outside A-Z a-z 0-9 - _ in the mapping
    BadBase,      // encoding: the base address is empty, too long or holds blanks or control characters
};

using Error = velorin::Error<ErrorKind>;

// The 144 characters of a block.
std::string encodeBlock(const WorkModeBlock& block);

// The link of a block: `base` without its fragment (if any), then "#m=" and the encoded block.
Result<std::string, Error> linkForBlock(const WorkModeBlock& block, std::string_view base);

// The block of a link ("https://host/path#m=..."), a fragment ("#m=...") or a bare parameter list
// ("m=..."); blanks around it are ignored. The 108 bytes go through the .kvf byte rule
// (core/Kvf.h) as a file's would. Nothing is returned on any error: the detail says what is wrong
// and where, in English, for logs and the command line.
Result<WorkModeBlock, Error> blockFromLink(std::string_view text);

} // namespace velorin::mappinglink

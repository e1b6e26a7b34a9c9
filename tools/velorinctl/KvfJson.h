// The JSON layout of a .kvf file (format "velorin-kvf", version 1):
//
//   {
//     "format": "velorin-kvf",
//     "version": 1,
//     "consoles": {
//       "ps3":    { "id": 1, "buttons": { "L2": "A", "L1": "none", ... }, "raw": "<54 hex digits>" },
//       "ps4":    { ... "SHARE": ... },
//       "switch": { ... "CAPTURE": ... },
//       "xbox":   { ... }
//     }
//   }
//
// "raw" is the whole 27-byte record, so every byte survives a round trip, including bytes 0, 6-9
// and 26 and codes without a name. On import each record starts from "raw" (or zeros with the
// console's id when it is absent); then "id" replaces byte 0 and each entry of "buttons" replaces
// its button's byte, so editing a key name is enough. Keys are names as in keyName(), "none",
// "0xNN", or a number 0-255; null means "none".
#pragma once

#include "core/Result.h"
#include "core/WorkMode.h"

#include <QByteArray>
#include <QString>

namespace velorin::ctl {

inline constexpr int kJsonLayoutVersion = 1;

QByteArray blockToJson(const WorkModeBlock& block);

enum class JsonErrorKind {
    None,
    NotJson,     // not JSON at all
    NotLayout,   // JSON, but not this layout: no object, another format or version, no "consoles"
    BadConsoles, // a console that does not exist, or one of the four missing
    BadRecord,   // a console's record: an unknown field, button or key, a bad "raw" or "id"
};
// The detail is the message for the user: it names the offending part.
using JsonError = velorin::Error<JsonErrorKind>;

// The block, or an error for anything malformed or unknown.
Result<WorkModeBlock, JsonError> blockFromJson(const QByteArray& json);

} // namespace velorin::ctl

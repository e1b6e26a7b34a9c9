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

#include "core/WorkMode.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace velorin::ctl {

inline constexpr int kJsonLayoutVersion = 1;

QByteArray blockToJson(const WorkModeBlock& block);

// nullopt with a message naming the offending part for anything malformed or unknown.
std::optional<WorkModeBlock> blockFromJson(const QByteArray& json, QString* error);

} // namespace velorin::ctl

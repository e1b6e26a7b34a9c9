// Finding the adapter among the HID interfaces of a platform, and opening it.
#pragma once

#include "core/Result.h"
#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin::device {

// The identity test against the core's kAdapterIdentity (core/Identity.h), in the figures of the
// platform's capability record. When it fails and `whyNot` is given, it says which property differs.
bool isAdapterIdentity(const hid::DeviceInfo& info, std::string* whyNot = nullptr);

// A full scan of `platform`: the first interface in enumeration order that passes the identity
// test and can be opened for reading and writing. Stores nothing.
std::optional<std::string> FindAdapter(hid::HidPlatform& platform);

// An open adapter, or why it could not be opened.
using AdapterHandle = Result<std::unique_ptr<hid::HidHandle>, Error<hid::OpenError>>;

// Opens `path` and checks that the open handle is the adapter: node names are reused, so the path
// that passed the identity test may since belong to another device. A handle that fails the
// check is closed at once; the error is then NotAdapter, its detail the property that differs.
AdapterHandle OpenAdapterPath(hid::HidPlatform& platform, const std::string& path);

// Opens the session's adapterPath(), scanning first (and storing a found path) when it is empty.
// When the handle opened on the known path is not the adapter, the path is forgotten and one new
// scan is made. A path found by the scan that cannot be opened right after is forgotten again.
std::unique_ptr<hid::HidHandle> OpenAdapter(AdapterSession& session);

// For a caller that asks why no adapter is found: every interface with the adapter's identity,
// in enumeration order, and what opening it gives (PermissionDenied: present but not accessible).
struct AdapterCandidate {
    std::string path;
    hid::OpenError openError = hid::OpenError::None;
};
std::vector<AdapterCandidate> DiagnoseAdapters(hid::HidPlatform& platform);

} // namespace velorin::device

// Finding the adapter among the HID interfaces, and the one known adapter path.
#pragma once

#include "core/Result.h"
#include "device/hid/HidPlatform.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velorin::device {

// The identity test against the core's kAdapterIdentity (core/Identity.h), in the figures of the
// platform's capability record. When it fails and `whyNot` is given, it says which property differs.
bool isAdapterIdentity(const hid::DeviceInfo& info, std::string* whyNot = nullptr);

// A full scan: the first interface in enumeration order that passes the identity test and can be
// opened for reading and writing. Does not touch adapterPath().
std::optional<std::string> FindAdapter();

// An open adapter, or why it could not be opened.
using AdapterHandle = Result<std::unique_ptr<hid::HidHandle>, Error<hid::OpenError>>;

// Opens `path` and checks that the open handle is the adapter: node names are reused, so the path
// that passed the identity test may since belong to another device. A handle that fails the
// check is closed at once; the error is then NotAdapter, its detail the property that differs.
AdapterHandle OpenAdapterPath(const std::string& path);

// Opens adapterPath(), scanning first (and storing a found path) when it is empty. When the handle
// opened on the known path is not the adapter, the path is forgotten and one new scan is made. A
// path found by the scan that cannot be opened right after is forgotten again.
std::unique_ptr<hid::HidHandle> OpenAdapter();

// For a caller that asks why no adapter is found: every interface with the adapter's identity,
// in enumeration order, and what opening it gives (PermissionDenied: present but not accessible).
struct AdapterCandidate {
    std::string path;
    hid::OpenError openError = hid::OpenError::None;
};
std::vector<AdapterCandidate> DiagnoseAdapters();

// The device path of the adapter, empty when none is known. Every read is a copy taken under the
// lock; every replacement is atomic with respect to those reads.
class AdapterPath {
public:
    std::string get() const;
    bool empty() const;
    void set(const std::string& path);
    void clear();
    // Clears the path when it equals `removed` ignoring ASCII case; returns whether it did.
    bool clearIfSame(const std::string& removed);

private:
    mutable std::mutex mutex_;
    std::string path_;
};

AdapterPath& adapterPath();

} // namespace velorin::device

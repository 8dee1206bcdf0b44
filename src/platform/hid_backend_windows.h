// The Windows backend of the HID service: SetupAPI lists the HID interfaces (each top-level
// collection is an interface of its own, its path carrying "vid_", "pid_" and "&colNN"), the
// OS's HID parsing library answers for the collection, and reports move by overlapped I/O
// whose wait cancel() can end at once.
#pragma once

#include "platform/hid_backend.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkan::platform {

class WindowsHidBackend final : public HidBackend {
public:
    std::optional<std::vector<std::string>> enumerate() override;

    // Shares reading and writing with other openers, as the OS's own keyboard use needs; a
    // mode asking for neither is refused (use probe() to check presence).
    std::unique_ptr<HidInterface> open(const std::string& path, HidOpenMode mode) override;

    // Opens the interface without any access, which sends nothing to the device.
    bool probe(const std::string& path) override;

    // Wraps a handle opened for overlapped I/O that keeps report boundaries (a HID interface,
    // or a message-mode pipe in tests) as a collection with the given lengths and no buttons.
    // Takes ownership of `handle`, closing it on failure too.
    static std::unique_ptr<HidInterface> wrapHandle(void* handle, HidCollectionInfo collection,
                                                    HidAttributes attributes);
};

} // namespace velkan::platform

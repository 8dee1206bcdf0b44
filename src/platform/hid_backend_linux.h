// The hidraw backend of the HID service: sysfs lists the nodes, each /dev/hidrawN is split into
// its top-level collections by our own descriptor parser, and reports move with poll() on the
// node plus an eventfd that cancel() signals.
#pragma once

#include "platform/hid_backend.h"
#include "platform/hid_descriptor.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velkan::platform {

// What open() asks of an open hidraw node through the kernel's ioctls.
struct HidrawNodeInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::vector<std::uint8_t> descriptor;
};
// nullopt when the node answers no hidraw query.
using HidrawNodeQuery = std::function<std::optional<HidrawNodeInfo>(int fd)>;

class LinuxHidBackend final : public HidBackend {
public:
    // Roots of sysfs and of the device nodes; tests point them at a fake tree, and may answer
    // for the kernel in place of the ioctls, which the plain files of such a tree do not.
    explicit LinuxHidBackend(std::string sysRoot = "/sys", std::string devRoot = "/dev",
                             HidrawNodeQuery queryNode = {});

    // One path per top-level collection of every hidraw node, nodes in numeric order. A node
    // whose ids or descriptor cannot be read from sysfs (it may be going away) is left out.
    std::optional<std::vector<std::string>> enumerate() override;

    // Opens the node read-only, write-only or read-write as the mode asks; a mode asking for
    // neither is refused, since hidraw answers no query on a node opened without access (use
    // probe() to check presence). The path must be one enumerate() would give for the device
    // now behind the node: a node number reused by another device is refused. The version
    // number is the USB bcdDevice from sysfs, 0 where the bus has none.
    std::unique_ptr<HidInterface> open(const std::string& path, HidOpenMode mode) override;

    // True while the node exists and sysfs still names the path's vendor and product for it.
    // Opens nothing in /dev and sends nothing.
    bool probe(const std::string& path) override;

    // The node's file permissions refused the last open of the path (EACCES or EPERM).
    bool permissionDenied(const std::string& path) const override;

    // Wraps an open descriptor that keeps report boundaries (hidraw, or a SOCK_SEQPACKET socket
    // in tests) as one collection. Takes ownership of `fd`, closing it on failure too. Reads
    // come from one thread at a time; a write and a cancel may run alongside.
    static std::unique_ptr<HidInterface> wrapDescriptor(int fd, HidCollection collection,
                                                        HidAttributes attributes);

private:
    std::string classDir() const;
    void notePermission(const std::string& path, bool denied);

    std::string sysRoot_;
    std::string devRoot_;
    HidrawNodeQuery queryNode_;
    mutable std::mutex deniedMutex_;
    std::set<std::string> denied_;
};

} // namespace velkan::platform

// sysfs and /dev for the hidraw backend in a temporary folder, and a guard that makes file
// permissions bind the test as they bind a user even when the tests run as root.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <linux/capability.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace velkan::test {

// Nodes are plain files: they open like a hidraw node but answer no ioctl. An empty uevent or
// descriptor is left out.
class FakeTree {
public:
    FakeTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hidraw-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~FakeTree() { std::filesystem::remove_all(root_); }
    FakeTree(const FakeTree&) = delete;
    FakeTree& operator=(const FakeTree&) = delete;

    std::string sys() const { return (root_ / "sys").string(); }
    std::string dev() const { return (root_ / "dev").string(); }
    std::filesystem::path device(const std::string& node) const {
        return root_ / "sys/class/hidraw" / node / "device";
    }

    void add(const std::string& node, const std::string& ueventText,
             const std::vector<std::uint8_t>& descriptor) {
        std::filesystem::create_directories(device(node));
        std::filesystem::create_directories(dev());
        std::ofstream(dev() + "/" + node) << "";
        if (!ueventText.empty()) {
            std::ofstream(device(node) / "uevent") << ueventText;
        }
        if (!descriptor.empty()) {
            std::ofstream(device(node) / "report_descriptor", std::ios::binary)
                << std::string(descriptor.begin(), descriptor.end());
        }
    }

    // The node and its sysfs entry go, as when the device is unplugged.
    void remove(const std::string& node) {
        std::filesystem::remove(dev() + "/" + node);
        std::filesystem::remove_all(device(node).parent_path());
    }

private:
    std::filesystem::path root_;
};

// While it lives, the calling thread (and every thread it starts meanwhile) lacks the
// capabilities that let root open any file, so a node of mode 000 is refused to it.
class FilePermissionsEnforced {
public:
    FilePermissionsEnforced() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
        enforced_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~FilePermissionsEnforced() {
        if (enforced_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    FilePermissionsEnforced(const FilePermissionsEnforced&) = delete;
    FilePermissionsEnforced& operator=(const FilePermissionsEnforced&) = delete;

    bool enforced() const { return enforced_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool enforced_ = false;
};

} // namespace velkan::test

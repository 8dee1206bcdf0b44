#include "platform/hid_backend_windows.h"

#include "platform/support_windows.h"

// The HID headers need the types of windows.h, which support_windows.h brings first. MinGW's
// declare C functions without C linkage.
extern "C" {
#include <hidsdi.h>
}
#include <algorithm>
#include <cstdint>
#include <setupapi.h>
#include <utility>

namespace velkan::platform {
namespace {

// The OS needs every input report read into a buffer of the collection's full input length.
// Interfaces wrapped for tests may name none; reads then take reports up to this size.
constexpr std::size_t kFallbackReportBytes = 4096;

class PreparsedData {
public:
    explicit PreparsedData(PHIDP_PREPARSED_DATA data) : data_(data) {}
    PreparsedData(PreparsedData&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;
    PreparsedData& operator=(PreparsedData&&) = delete;
    ~PreparsedData() {
        if (data_ != nullptr) {
            ::HidD_FreePreparsedData(data_);
        }
    }
    PHIDP_PREPARSED_DATA get() const { return data_; }

private:
    PHIDP_PREPARSED_DATA data_;
};

// One button capability of the input reports: a usage range on one page, in one report.
struct ButtonRange {
    USAGE page = 0;
    UCHAR reportId = 0;
    USAGE usageMin = 0;
    USAGE usageMax = 0;
    ULONG maxUsages = 0;
};

// Reads and writes each wait on their own completion event and on the cancel semaphore, which
// counts, so that every cancel() ends exactly one wait, now or at the next call. A transfer the
// wait gave up on is cancelled and waited out before the call returns: nothing completes later
// into the buffers or the overlapped records.
class OverlappedHidInterface final : public HidInterface {
public:
    OverlappedHidInterface(UniqueHandle device, UniqueHandle cancel, UniqueHandle readDone,
                           UniqueHandle writeDone, HidCollectionInfo collection,
                           HidAttributes attributes, PreparsedData preparsed,
                           std::vector<ButtonRange> buttons)
        : device_(std::move(device)), cancel_(std::move(cancel)), readDone_(std::move(readDone)),
          writeDone_(std::move(writeDone)), collection_(collection), attributes_(attributes),
          preparsed_(std::move(preparsed)), buttons_(std::move(buttons)),
          readBuffer_(collection.inputReportLength > 0 ? collection.inputReportLength
                                                       : kFallbackReportBytes) {}

    const HidAttributes& attributes() const override { return attributes_; }
    const HidCollectionInfo& collection() const override { return collection_; }

    std::vector<HidUsage> buttonsSet(std::span<const std::uint8_t> report) const override {
        std::vector<HidUsage> set;
        const std::size_t length = collection_.inputReportLength;
        if (preparsed_.get() == nullptr || report.empty() || report.size() < length) {
            return set;
        }
        // The parser takes a writable report of exactly the collection's length.
        std::vector<char> copy(report.begin(),
                               report.begin() + static_cast<std::ptrdiff_t>(length));
        for (const ButtonRange& range : buttons_) {
            if (range.reportId != report[0] || range.maxUsages == 0) {
                continue;
            }
            std::vector<USAGE> usages(range.maxUsages);
            ULONG count = range.maxUsages;
            if (::HidP_GetUsages(HidP_Input, range.page, 0, usages.data(), &count, preparsed_.get(),
                                 copy.data(),
                                 static_cast<ULONG>(copy.size())) != HIDP_STATUS_SUCCESS) {
                continue;
            }
            for (ULONG i = 0; i < std::min(count, range.maxUsages); ++i) {
                if (usages[i] >= range.usageMin && usages[i] <= range.usageMax) {
                    set.push_back(HidUsage{range.page, usages[i]});
                }
            }
        }
        return set;
    }

    HidIoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                     std::size_t& transferred) override {
        transferred = 0;
        if (buffer.empty()) {
            return HidIoStatus::failed;
        }
        DWORD moved = 0;
        const HidIoStatus status = transfer(
            readDone_.get(), timeoutMs,
            [this](OVERLAPPED& overlapped) {
                return ::ReadFile(device_.get(), readBuffer_.data(),
                                  static_cast<DWORD>(readBuffer_.size()), nullptr, &overlapped);
            },
            moved);
        if (status == HidIoStatus::ok) {
            transferred = std::min<std::size_t>(moved, buffer.size());
            std::copy_n(readBuffer_.begin(), transferred, buffer.begin());
        }
        return status;
    }

    HidIoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                      std::size_t& transferred) override {
        transferred = 0;
        if (report.empty()) {
            return HidIoStatus::failed;
        }
        // The OS takes output reports of the collection's full length only.
        writeBuffer_.assign(std::max<std::size_t>(report.size(), collection_.outputReportLength),
                            0);
        std::copy(report.begin(), report.end(), writeBuffer_.begin());
        DWORD moved = 0;
        const HidIoStatus status = transfer(
            writeDone_.get(), timeoutMs,
            [this](OVERLAPPED& overlapped) {
                return ::WriteFile(device_.get(), writeBuffer_.data(),
                                   static_cast<DWORD>(writeBuffer_.size()), nullptr, &overlapped);
            },
            moved);
        if (status != HidIoStatus::ok) {
            return status;
        }
        if (moved < report.size()) {
            return HidIoStatus::failed;
        }
        transferred = report.size();
        return status;
    }

    void cancel() override { ::ReleaseSemaphore(cancel_.get(), 1, nullptr); }

private:
    template <typename Start>
    HidIoStatus transfer(HANDLE done, int timeoutMs, Start start, DWORD& moved) {
        moved = 0;
        if (::WaitForSingleObject(cancel_.get(), 0) == WAIT_OBJECT_0) {
            return HidIoStatus::cancelled;
        }
        OVERLAPPED overlapped{};
        overlapped.hEvent = done;
        ::ResetEvent(done);
        if (!start(overlapped) && ::GetLastError() != ERROR_IO_PENDING) {
            return HidIoStatus::failed;
        }
        const HANDLE waits[] = {cancel_.get(), done};
        const DWORD waited = ::WaitForMultipleObjects(
            2, waits, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        HidIoStatus status = HidIoStatus::ok;
        if (waited != WAIT_OBJECT_0 + 1) {
            status = waited == WAIT_OBJECT_0
                         ? HidIoStatus::cancelled
                         : (waited == WAIT_TIMEOUT ? HidIoStatus::timedOut : HidIoStatus::failed);
            ::CancelIoEx(device_.get(), &overlapped);
        }
        const bool completed = ::GetOverlappedResult(device_.get(), &overlapped, &moved, TRUE);
        // A transfer that finished just as its time ran out did move the report: keep it. One
        // ended by cancel() is dropped, as the canceller expects the call to give up.
        if (status == HidIoStatus::ok || (status == HidIoStatus::timedOut && completed)) {
            return completed ? HidIoStatus::ok : HidIoStatus::failed;
        }
        moved = 0;
        return status;
    }

    const UniqueHandle device_;
    const UniqueHandle cancel_;
    const UniqueHandle readDone_;
    const UniqueHandle writeDone_;
    const HidCollectionInfo collection_;
    const HidAttributes attributes_;
    const PreparsedData preparsed_;
    const std::vector<ButtonRange> buttons_;
    std::vector<std::uint8_t> readBuffer_;
    std::vector<std::uint8_t> writeBuffer_;
};

std::unique_ptr<HidInterface> makeInterface(UniqueHandle device, HidCollectionInfo collection,
                                            HidAttributes attributes, PreparsedData preparsed,
                                            std::vector<ButtonRange> buttons) {
    // Manual-reset completion events, as GetOverlappedResult expects.
    UniqueHandle cancel(::CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr));
    UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle writeDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!device.valid() || !cancel.valid() || !readDone.valid() || !writeDone.valid()) {
        return nullptr;
    }
    return std::make_unique<OverlappedHidInterface>(
        std::move(device), std::move(cancel), std::move(readDone), std::move(writeDone), collection,
        attributes, std::move(preparsed), std::move(buttons));
}

std::vector<ButtonRange> inputButtons(PHIDP_PREPARSED_DATA preparsed, const HIDP_CAPS& caps) {
    std::vector<HIDP_BUTTON_CAPS> capabilities(caps.NumberInputButtonCaps);
    USHORT count = caps.NumberInputButtonCaps;
    if (count == 0 || ::HidP_GetButtonCaps(HidP_Input, capabilities.data(), &count, preparsed) !=
                          HIDP_STATUS_SUCCESS) {
        return {};
    }
    std::vector<ButtonRange> ranges;
    for (USHORT i = 0; i < std::min(count, caps.NumberInputButtonCaps); ++i) {
        const HIDP_BUTTON_CAPS& capability = capabilities[i];
        ButtonRange range;
        range.page = capability.UsagePage;
        range.reportId = capability.ReportID;
        range.usageMin = capability.IsRange ? capability.Range.UsageMin : capability.NotRange.Usage;
        range.usageMax = capability.IsRange ? capability.Range.UsageMax : capability.NotRange.Usage;
        range.maxUsages = ::HidP_MaxUsageListLength(HidP_Input, range.page, preparsed);
        ranges.push_back(range);
    }
    return ranges;
}

UniqueHandle openPath(const std::string& path, DWORD access, DWORD flags) {
    return UniqueHandle(::CreateFileW(widen(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      flags, nullptr));
}

class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    ~DeviceInfoSet() {
        if (valid()) {
            ::SetupDiDestroyDeviceInfoList(set_);
        }
    }
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

// The device path of one interface; nullopt when its detail cannot be had.
std::optional<std::string> interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interface) {
    DWORD required = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &interface, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return std::nullopt;
    }
    // Whole DWORDs keep the record aligned as the OS expects.
    std::vector<DWORD> buffer((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(set, &interface, detail, required, nullptr, nullptr)) {
        return std::nullopt;
    }
    // The path ends within the buffer whatever the OS wrote.
    const std::size_t maxUnits =
        (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    const std::wstring_view path(detail->DevicePath, maxUnits);
    return narrow(path.substr(0, path.find(L'\0')));
}

} // namespace

std::unique_ptr<HidBackend> makeSystemHidBackend() {
    return std::make_unique<WindowsHidBackend>();
}

std::optional<std::vector<std::string>> WindowsHidBackend::enumerate() {
    GUID hidClass{};
    ::HidD_GetHidGuid(&hidClass);
    const DeviceInfoSet set(
        ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.valid()) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interface {};
        interface.cbSize = sizeof interface;
        if (!::SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidClass, index, &interface)) {
            if (::GetLastError() == ERROR_NO_MORE_ITEMS) {
                break;
            }
            continue; // one interface that cannot be listed does not hide the others
        }
        if (auto path = interfacePath(set.get(), interface)) {
            paths.push_back(std::move(*path));
        }
    }
    return paths;
}

std::unique_ptr<HidInterface> WindowsHidBackend::open(const std::string& path, HidOpenMode mode) {
    if (path.empty() || (!mode.read && !mode.write)) {
        return nullptr;
    }
    const DWORD access = (mode.read ? GENERIC_READ : 0) | (mode.write ? GENERIC_WRITE : 0);
    UniqueHandle device = openPath(path, access, FILE_FLAG_OVERLAPPED);
    if (!device.valid()) {
        return nullptr;
    }
    HIDD_ATTRIBUTES osAttributes{};
    osAttributes.Size = sizeof osAttributes;
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!::HidD_GetAttributes(device.get(), &osAttributes) ||
        !::HidD_GetPreparsedData(device.get(), &data)) {
        return nullptr;
    }
    PreparsedData preparsed(data);
    HIDP_CAPS caps{};
    if (::HidP_GetCaps(preparsed.get(), &caps) != HIDP_STATUS_SUCCESS) {
        return nullptr;
    }
    const HidCollectionInfo collection{caps.UsagePage, caps.Usage, caps.InputReportByteLength,
                                       caps.OutputReportByteLength, caps.FeatureReportByteLength};
    const HidAttributes attributes{osAttributes.VendorID, osAttributes.ProductID,
                                   osAttributes.VersionNumber};
    std::vector<ButtonRange> buttons = inputButtons(preparsed.get(), caps);
    return makeInterface(std::move(device), collection, attributes, std::move(preparsed),
                         std::move(buttons));
}

bool WindowsHidBackend::probe(const std::string& path) {
    return !path.empty() && openPath(path, 0, 0).valid();
}

std::unique_ptr<HidInterface> WindowsHidBackend::wrapHandle(void* handle,
                                                            HidCollectionInfo collection,
                                                            HidAttributes attributes) {
    return makeInterface(UniqueHandle(handle), collection, attributes, PreparsedData(nullptr), {});
}

} // namespace velkan::platform

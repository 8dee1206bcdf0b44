// The wire log of velkanctl: every report that moves on the keyboard's command collection, one
// line each, "> " for a report to the keyboard and "< " for one from it, then the bytes as
// two-digit lower-case hex separated by single blanks. It sits between the HID backend and
// the program, so it logs what really moved on hidraw as well as on the simulated keyboard.
#pragma once

#include "platform/hid_backend.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velkan::ctl {

enum class WireDirection { toKeyboard, fromKeyboard };

std::string formatWireLine(WireDirection direction, std::span<const std::uint8_t> report);

// The file the lines are appended to; shared by every interface the backend opened.
class WireLog {
public:
    // nullptr when the file cannot be opened for appending.
    static std::shared_ptr<WireLog> open(const std::filesystem::path& file);

    void record(WireDirection direction, std::span<const std::uint8_t> report);
    // False once a line could not be written.
    bool intact() const;

private:
    explicit WireLog(std::ofstream stream) : stream_(std::move(stream)) {}

    mutable std::mutex mutex_;
    std::ofstream stream_;
};

// Serves another backend's interfaces unchanged, logging the successful reads and writes of
// those opened on the command collection.
class WireLoggingBackend final : public platform::HidBackend {
public:
    WireLoggingBackend(platform::HidBackend& inner, std::shared_ptr<WireLog> log);

    std::optional<std::vector<std::string>> enumerate() override;
    std::unique_ptr<platform::HidInterface> open(const std::string& path,
                                                 platform::HidOpenMode mode) override;
    bool probe(const std::string& path) override;
    bool permissionDenied(const std::string& path) const override;

private:
    platform::HidBackend& inner_;
    std::shared_ptr<WireLog> log_;
};

} // namespace velkan::ctl

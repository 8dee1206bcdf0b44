// Report descriptors the parser tests run on: real-world shapes (the boot keyboard, a consumer
// control, the keyboard's own vendor collection, a mouse) and small ones built to pin one rule.
// The fuzz seed corpus (fuzz/corpus/hid_descriptor) holds each of them in the framing the
// fuzz target reads.
#pragma once

#include <cstdint>

namespace velkan::testdata {

// The boot keyboard of the HID class definition: 8 modifier bits, a reserved byte, 6 key
// selectors; LED output of 5 bits plus 3 bits of padding.
inline constexpr std::uint8_t kBootKeyboard[] = {
    0x05, 0x01, // Usage Page (Generic Desktop)
    0x09, 0x06, // Usage (Keyboard)
    0xA1, 0x01, // Collection (Application)
    0x05, 0x07, //   Usage Page (Keyboard)
    0x19, 0xE0, //   Usage Minimum (Left Control)
    0x29, 0xE7, //   Usage Maximum (Right GUI)
    0x15, 0x00, //   Logical Minimum (0)
    0x25, 0x01, //   Logical Maximum (1)
    0x75, 0x01, //   Report Size (1)
    0x95, 0x08, //   Report Count (8)
    0x81, 0x02, //   Input (Data, Variable, Absolute)
    0x95, 0x01, //   Report Count (1)
    0x75, 0x08, //   Report Size (8)
    0x81, 0x01, //   Input (Constant)
    0x95, 0x05, //   Report Count (5)
    0x75, 0x01, //   Report Size (1)
    0x05, 0x08, //   Usage Page (LEDs)
    0x19, 0x01, //   Usage Minimum (Num Lock)
    0x29, 0x05, //   Usage Maximum (Kana)
    0x91, 0x02, //   Output (Data, Variable, Absolute)
    0x95, 0x01, //   Report Count (1)
    0x75, 0x03, //   Report Size (3)
    0x91, 0x01, //   Output (Constant)
    0x95, 0x06, //   Report Count (6)
    0x75, 0x08, //   Report Size (8)
    0x15, 0x00, //   Logical Minimum (0)
    0x25, 0x65, //   Logical Maximum (101)
    0x05, 0x07, //   Usage Page (Keyboard)
    0x19, 0x00, //   Usage Minimum (0)
    0x29, 0x65, //   Usage Maximum (101)
    0x81, 0x00, //   Input (Data, Array)
    0xC0,       // End Collection
};

inline constexpr std::uint8_t kConsumerControl[] = {
    0x05, 0x0C,       // Usage Page (Consumer)
    0x09, 0x01,       // Usage (Consumer Control)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x03,       //   Report ID (3)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x3F, //   Logical Maximum (0x3FFF)
    0x19, 0x00,       //   Usage Minimum (0)
    0x2A, 0xFF, 0x3F, //   Usage Maximum (0x3FFF)
    0x75, 0x10,       //   Report Size (16)
    0x95, 0x02,       //   Report Count (2)
    0x81, 0x00,       //   Input (Data, Array)
    0xC0,             // End Collection
};

// The keyboard's configuration collection: 63 bytes each way behind report id 4.
inline constexpr std::uint8_t kVendorCommand[] = {
    0x06, 0x1C, 0xFF, // Usage Page (0xFF1C)
    0x09, 0x92,       // Usage (0x92)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x04,       //   Report ID (4)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x3F,       //   Report Count (63)
    0x09, 0x01,       //   Usage (1)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x09, 0x02,       //   Usage (2)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

// One interface with both of the keyboard's collections, as the device presents them.
inline constexpr std::uint8_t kVendorAndConsumer[] = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF,
    0x00, 0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02,
    0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF,
    0x3F, 0x19, 0x00, 0x2A, 0xFF, 0x3F, 0x75, 0x10, 0x95, 0x02, 0x81, 0x00, 0xC0,
};

// Input: 3 buttons + 5 bits padding, X and Y (logical -127..127 on physical -1270..1270),
// wheel (no physical range), hat switch 0..7 on 0..315 degrees with a null state + 4 bits.
inline constexpr std::uint8_t kMouse[] = {
    0x05, 0x01,             // Usage Page (Generic Desktop)
    0x09, 0x02,             // Usage (Mouse)
    0xA1, 0x01,             // Collection (Application)
    0x09, 0x01,             //   Usage (Pointer)
    0xA1, 0x00,             //   Collection (Physical)
    0x05, 0x09,             //     Usage Page (Button)
    0x19, 0x01, 0x29, 0x03, //     Usage Minimum (1), Usage Maximum (3)
    0x15, 0x00, 0x25, 0x01, //     Logical Minimum (0), Logical Maximum (1)
    0x95, 0x03, 0x75, 0x01, //     Report Count (3), Report Size (1)
    0x81, 0x02,             //     Input (Data, Variable, Absolute)
    0x95, 0x01, 0x75, 0x05, //     Report Count (1), Report Size (5)
    0x81, 0x01,             //     Input (Constant)
    0x05, 0x01,             //     Usage Page (Generic Desktop)
    0xA4,                   //     Push
    0x09, 0x30, 0x09, 0x31, //     Usage (X), Usage (Y)
    0x15, 0x81, 0x25, 0x7F, //     Logical Minimum (-127), Logical Maximum (127)
    0x36, 0x0A, 0xFB,       //     Physical Minimum (-1270)
    0x46, 0xF6, 0x04,       //     Physical Maximum (1270)
    0x75, 0x08, 0x95, 0x02, //     Report Size (8), Report Count (2)
    0x81, 0x06,             //     Input (Data, Variable, Relative)
    0xB4,                   //     Pop
    0x09, 0x38,             //     Usage (Wheel)
    0x15, 0x81, 0x25, 0x7F, //     Logical Minimum (-127), Logical Maximum (127)
    0x75, 0x08, 0x95, 0x01, //     Report Size (8), Report Count (1)
    0x81, 0x06,             //     Input (Data, Variable, Relative)
    0x09, 0x39,             //     Usage (Hat Switch)
    0x15, 0x00, 0x25, 0x07, //     Logical Minimum (0), Logical Maximum (7)
    0x35, 0x00,             //     Physical Minimum (0)
    0x46, 0x3B, 0x01,       //     Physical Maximum (315)
    0x75, 0x04,             //     Report Size (4)
    0x81, 0x42,             //     Input (Data, Variable, Absolute, Null State)
    0x81, 0x01,             //     Input (Constant)
    0xC0,                   //   End Collection
    0xC0,                   // End Collection
};

// Array of three single usages whose selectors start at 1, two 2-bit elements.
inline constexpr std::uint8_t kSelectorList[] = {
    0x05, 0x0C,             // Usage Page (Consumer)
    0x09, 0x01,             // Usage (Consumer Control)
    0xA1, 0x01,             // Collection (Application)
    0x15, 0x01, 0x25, 0x03, //   Logical Minimum (1), Logical Maximum (3)
    0x09, 0xCD,             //   Usage (Play/Pause)
    0x09, 0xB5,             //   Usage (Next Track)
    0x09, 0xB6,             //   Usage (Previous Track)
    0x75, 0x02, 0x95, 0x02, //   Report Size (2), Report Count (2)
    0x81, 0x00,             //   Input (Data, Array)
    0x75, 0x04, 0x95, 0x01, //   Report Size (4), Report Count (1)
    0x81, 0x01,             //   Input (Constant)
    0xC0,                   // End Collection
};

// Values that do not fall on byte boundaries: 4 bits padding, X and Y of 12 bits, then one
// 8-bit field of three elements for Z and a throttle given as a 4-byte usage (so on the
// Simulation page), the throttle repeating for the last element; then a slider whose maximum of
// 255 is written in one byte.
inline constexpr std::uint8_t kJoystick[] = {
    0x05, 0x01,                   // Usage Page (Generic Desktop)
    0x09, 0x04,                   // Usage (Joystick)
    0xA1, 0x01,                   // Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x0F, //   Logical Minimum (0), Logical Maximum (4095)
    0x75, 0x04, 0x95, 0x01,       //   Report Size (4), Report Count (1)
    0x81, 0x01,                   //   Input (Constant)
    0x09, 0x30, 0x09, 0x31,       //   Usage (X), Usage (Y)
    0x75, 0x0C, 0x95, 0x02,       //   Report Size (12), Report Count (2)
    0x81, 0x02,                   //   Input (Data, Variable, Absolute)
    0x09, 0x32,                   //   Usage (Z)
    0x0B, 0xBB, 0x00, 0x02, 0x00, //   Usage (Simulation: Throttle)
    0x75, 0x08, 0x95, 0x03,       //   Report Size (8), Report Count (3)
    0x81, 0x02,                   //   Input (Data, Variable, Absolute)
    0x09, 0x36,                   //   Usage (Slider)
    0x25, 0xFF,                   //   Logical Maximum (255)
    0x95, 0x01,                   //   Report Count (1)
    0x81, 0x02,                   //   Input (Data, Variable, Absolute)
    0xC0,                         // End Collection
};

// A 32-bit value over the whole signed range, and a value whose physical range is upside down.
inline constexpr std::uint8_t kWideAndBadPhysical[] = {
    0x06, 0x00, 0xFF,             // Usage Page (0xFF00)
    0x09, 0x01,                   // Usage (1)
    0xA1, 0x01,                   // Collection (Application)
    0x09, 0x02,                   //   Usage (2)
    0x17, 0x00, 0x00, 0x00, 0x80, //   Logical Minimum (-2^31)
    0x27, 0xFF, 0xFF, 0xFF, 0x7F, //   Logical Maximum (2^31 - 1)
    0x75, 0x20, 0x95, 0x01,       //   Report Size (32), Report Count (1)
    0x81, 0x02,                   //   Input (Data, Variable, Absolute)
    0x09, 0x03,                   //   Usage (3)
    0x15, 0x00, 0x25, 0x0A,       //   Logical Minimum (0), Logical Maximum (10)
    0x35, 0x0A, 0x45, 0x05,       //   Physical Minimum (10), Physical Maximum (5)
    0x75, 0x08,                   //   Report Size (8)
    0x81, 0x02,                   //   Input (Data, Variable, Absolute)
    0xC0,                         // End Collection
};

// Two input reports whose items interleave: report 1's second field continues after its first.
inline constexpr std::uint8_t kInterleavedReports[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, // Usage Page (0xFF00), Usage (1), Collection
    0x15, 0x00, 0x26, 0xFF, 0x00,             //   Logical Minimum (0), Logical Maximum (255)
    0x75, 0x08, 0x95, 0x02,                   //   Report Size (8), Report Count (2)
    0x85, 0x01, 0x09, 0x10, 0x81, 0x02,       //   Report ID (1), Usage (0x10), Input
    0x85, 0x02, 0x09, 0x20, 0x81, 0x02,       //   Report ID (2), Usage (0x20), Input
    0x85, 0x01, 0x09, 0x30, 0x81, 0x02,       //   Report ID (1), Usage (0x30), Input
    0xC0,                                     // End Collection
};

} // namespace velkan::testdata

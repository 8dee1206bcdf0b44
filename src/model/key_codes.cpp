#include "model/key_codes.h"

#include "platform/unicode.h"

#include <algorithm>
#include <iterator>

namespace velkan::model {

namespace {

struct FilledRow {
    KeyIndex index;
    KeyInfo info;
};

// Index, then vk, key id, name, alt vk, device code, language key.
constexpr FilledRow kFilledRows[] = {
    {1, {0x1B, 0x0025, "Esc", 0x1B, 0x29, "IDS_KEYBOARD_ESC"}},
    {2, {0x31, 0x001A, "1", 0x31, 0x1E, "IDS_KEYBOARD_1"}},
    {3, {0x32, 0x001B, "2", 0x32, 0x1F, "IDS_KEYBOARD_2"}},
    {4, {0x33, 0x001C, "3", 0x33, 0x20, "IDS_KEYBOARD_3"}},
    {5, {0x34, 0x001D, "4", 0x34, 0x21, "IDS_KEYBOARD_4"}},
    {6, {0x35, 0x001E, "5", 0x35, 0x22, "IDS_KEYBOARD_5"}},
    {7, {0x36, 0x001F, "6", 0x36, 0x23, "IDS_KEYBOARD_6"}},
    {8, {0x37, 0x0020, "7", 0x37, 0x24, "IDS_KEYBOARD_7"}},
    {9, {0x38, 0x0021, "8", 0x38, 0x25, "IDS_KEYBOARD_8"}},
    {10, {0x39, 0x0022, "9", 0x39, 0x26, "IDS_KEYBOARD_9"}},
    {11, {0x30, 0x0023, "0", 0x30, 0x27, "IDS_KEYBOARD_0"}},
    {12, {0xBD, 0x0029, "-", 0xBD, 0x2D, "IDS_KEYBOARD_MINUS"}},
    {13, {0xBB, 0x002A, "=", 0xBB, 0x2E, "IDS_KEYBOARD_EQU"}},
    {14, {0x08, 0x0026, "Backspace", 0x08, 0x2A, "IDS_KEYBOARD_BS"}},
    {15, {0x09, 0x0027, "Tab", 0x09, 0x2B, "IDS_KEYBOARD_TAB"}},
    {16, {0x51, 0x0010, "Q", 0x51, 0x14, "IDS_KEYBOARD_Q"}},
    {17, {0x57, 0x0016, "W", 0x57, 0x1A, "IDS_KEYBOARD_W"}},
    {18, {0x45, 0x0004, "E", 0x45, 0x08, "IDS_KEYBOARD_E"}},
    {19, {0x52, 0x0011, "R", 0x52, 0x15, "IDS_KEYBOARD_R"}},
    {20, {0x54, 0x0013, "T", 0x54, 0x17, "IDS_KEYBOARD_T"}},
    {21, {0x59, 0x0018, "Y", 0x59, 0x1C, "IDS_KEYBOARD_Y"}},
    {22, {0x55, 0x0014, "U", 0x55, 0x18, "IDS_KEYBOARD_U"}},
    {23, {0x49, 0x0008, "I", 0x49, 0x0C, "IDS_KEYBOARD_I"}},
    {24, {0x4F, 0x000E, "O", 0x4F, 0x12, "IDS_KEYBOARD_O"}},
    {25, {0x50, 0x000F, "P", 0x50, 0x13, "IDS_KEYBOARD_P"}},
    {26, {0xDB, 0x002B, "[", 0xDB, 0x2F, "IDS_KEYBOARD_SB1"}},
    {27, {0xDD, 0x002C, "]", 0xDD, 0x30, "IDS_KEYBOARD_SB2"}},
    {28, {0x0D, 0x0024, "Enter", 0x0D, 0x28, "IDS_KEYBOARD_ENTER"}},
    {29, {0xA2, 0x0062, "Ctrl", 0xA2, 0xE0, "IDS_KEYBOARD_LCTRL"}},
    {30, {0x41, 0x0000, "A", 0x41, 0x04, "IDS_KEYBOARD_A"}},
    {31, {0x53, 0x0012, "S", 0x53, 0x16, "IDS_KEYBOARD_S"}},
    {32, {0x44, 0x0003, "D", 0x44, 0x07, "IDS_KEYBOARD_D"}},
    {33, {0x46, 0x0005, "F", 0x46, 0x09, "IDS_KEYBOARD_F"}},
    {34, {0x47, 0x0006, "G", 0x47, 0x0A, "IDS_KEYBOARD_G"}},
    {35, {0x48, 0x0007, "H", 0x48, 0x0B, "IDS_KEYBOARD_H"}},
    {36, {0x4A, 0x0009, "J", 0x4A, 0x0D, "IDS_KEYBOARD_J"}},
    {37, {0x4B, 0x000A, "K", 0x4B, 0x0E, "IDS_KEYBOARD_K"}},
    {38, {0x4C, 0x000B, "L", 0x4C, 0x0F, "IDS_KEYBOARD_L"}},
    {39, {0xBA, 0x002E, ";", 0xBA, 0x33, "IDS_KEYBOARD_SEM"}},
    {40, {0xDE, 0x002F, "'", 0xDE, 0x34, "IDS_KEYBOARD_QUOT"}},
    {41, {0xC0, 0x0030, "`", 0xC0, 0x35, "IDS_KEYBOARD_AID1"}},
    {42, {0xA0, 0x0063, "Shift", 0xA0, 0xE1, "IDS_KEYBOARD_LSHIFT"}},
    {43, {0xDC, 0x002D, "\\", 0xDC, 0x31, "IDS_KEYBOARD_AV"}},
    {44, {0x5A, 0x0019, "Z", 0x5A, 0x1D, "IDS_KEYBOARD_Z"}},
    {45, {0x58, 0x0017, "X", 0x58, 0x1B, "IDS_KEYBOARD_X"}},
    {46, {0x43, 0x0002, "C", 0x43, 0x06, "IDS_KEYBOARD_C"}},
    {47, {0x56, 0x0015, "V", 0x56, 0x19, "IDS_KEYBOARD_V"}},
    {48, {0x42, 0x0001, "B", 0x42, 0x05, "IDS_KEYBOARD_B"}},
    {49, {0x4E, 0x000D, "N", 0x4E, 0x11, "IDS_KEYBOARD_N"}},
    {50, {0x4D, 0x000C, "M", 0x4D, 0x10, "IDS_KEYBOARD_M"}},
    {51, {0xBC, 0x0031, ",", 0xBC, 0x36, "IDS_KEYBOARD_COMMA"}},
    {52, {0xBE, 0x0032, ".", 0xBE, 0x37, "IDS_KEYBOARD_PER"}},
    {53, {0xBF, 0x0033, "/", 0xBF, 0x38, "IDS_KEYBOARD_VIR"}},
    {54, {0xA1, 0x0067, "Right Shift", 0xA1, 0xE5, "IDS_KEYBOARD_RSHIFT"}},
    {55, {0x6A, 0x0051, "Num *", 0x6A, 0x55, "IDS_KEYBOARD_S_AST"}},
    {56, {0xA4, 0x0064, "Alt", 0xA4, 0xE2, "IDS_KEYBOARD_LALT"}},
    {57, {0x20, 0x0028, "Space", 0x20, 0x2C, "IDS_KEYBOARD_SPACE"}},
    {58, {0x14, 0x004E, "Caps Lock", 0x14, 0x39, "IDS_KEYBOARD_CAPS"}},
    {59, {0x70, 0x0034, "F1", 0x70, 0x3A, "IDS_KEYBOARD_F1"}},
    {60, {0x71, 0x0035, "F2", 0x71, 0x3B, "IDS_KEYBOARD_F2"}},
    {61, {0x72, 0x0036, "F3", 0x72, 0x3C, "IDS_KEYBOARD_F3"}},
    {62, {0x73, 0x0037, "F4", 0x73, 0x3D, "IDS_KEYBOARD_F4"}},
    {63, {0x74, 0x0038, "F5", 0x74, 0x3E, "IDS_KEYBOARD_F5"}},
    {64, {0x75, 0x0039, "F6", 0x75, 0x3F, "IDS_KEYBOARD_F6"}},
    {65, {0x76, 0x003A, "F7", 0x76, 0x40, "IDS_KEYBOARD_F7"}},
    {66, {0x77, 0x003B, "F8", 0x77, 0x41, "IDS_KEYBOARD_F8"}},
    {67, {0x78, 0x003C, "F9", 0x78, 0x42, "IDS_KEYBOARD_F9"}},
    {68, {0x79, 0x003D, "F10", 0x79, 0x43, "IDS_KEYBOARD_F10"}},
    {69, {0x13, 0x0041, "Pause", 0x13, 0x48, "IDS_KEYBOARD_PAUSE"}},
    {70, {0x91, 0x004D, "Scroll Lock", 0x91, 0x47, "IDS_KEYBOARD_SCROLL"}},
    {71, {0x67, 0x005B, "Num 7", 0x24, 0x5F, "IDS_KEYBOARD_S_7"}},
    {72, {0x68, 0x005C, "Num 8", 0x26, 0x60, "IDS_KEYBOARD_S_8"}},
    {73, {0x69, 0x005D, "Num 9", 0x21, 0x61, "IDS_KEYBOARD_S_9"}},
    {74, {0x6D, 0x0052, "Num -", 0x6D, 0x56, "IDS_KEYBOARD_S_MINUS"}},
    {75, {0x64, 0x0058, "Num 4", 0x25, 0x5C, "IDS_KEYBOARD_S_4"}},
    {76, {0x65, 0x0059, "Num 5", 0x0C, 0x5D, "IDS_KEYBOARD_S_5"}},
    {77, {0x66, 0x005A, "Num 6", 0x27, 0x5E, "IDS_KEYBOARD_S_6"}},
    {78, {0x6B, 0x0053, "Num +", 0x6B, 0x57, "IDS_KEYBOARD_S_PLUS"}},
    {79, {0x61, 0x0055, "Num 1", 0x23, 0x59, "IDS_KEYBOARD_S_1"}},
    {80, {0x62, 0x0056, "Num 2", 0x28, 0x5A, "IDS_KEYBOARD_S_2"}},
    {81, {0x63, 0x0057, "Num 3", 0x22, 0x5B, "IDS_KEYBOARD_S_3"}},
    {82, {0x60, 0x005E, "Num 0", 0x2D, 0x62, "IDS_KEYBOARD_S_0"}},
    {83, {0x6E, 0x005F, "Num .", 0x2E, 0x63, "IDS_KEYBOARD_S_DEL"}},
    {84, {0x2C, 0x8012, "Sys Req", 0x2C, 0x00, "IDS_KEYBOARD_SYSREQ"}},
    {86, {0xE2, 0x0060, "K45", 0xE2, 0x64, "IDS_KEYBOARD_K45"}},
    {87, {0x7A, 0x003E, "F11", 0x7A, 0x44, "IDS_KEYBOARD_F11"}},
    {88, {0x7B, 0x003F, "F12", 0x7B, 0x45, "IDS_KEYBOARD_F12"}},
    {100, {0x7C, 0x802D, "F13", 0x7C, 0x00, ""}},
    {112, {0xFF, 0x8018, "ROMA (133)", 0xFF, 0x88, "IDS_KEYBOARD_ROMA"}},
    {113, {0xE9, 0x8019, "KL", 0xE9, 0x91, "IDS_KEYBOARD_KL"}},
    {114, {0xFF, 0x801A, "KR", 0xFF, 0x90, "IDS_KEYBOARD_KR"}},
    {115, {0xC1, 0x8014, "K56", 0xC1, 0x87, "IDS_KEYBOARD_K56"}},
    {121, {0xFF, 0x8017, "CHG (132)", 0xFF, 0x8A, "IDS_KEYBOARD_CHG"}},
    {123, {0xEB, 0x8016, "N-CHG (131)", 0xEB, 0x8B, "IDS_KEYBOARD_N_CHG"}},
    {125, {0xFF, 0x8013, "K14", 0xFF, 0x89, "IDS_KEYBOARD_K14"}},
    {126, {0xC2, 0x8015, "K107", 0xC2, 0x85, "IDS_KEYBOARD_K107"}},
    {144, {0xB1, 0x8021, "Prev Track", 0xB1, 0xD0, "MEDIA_PREV_TRACK_4"}},
    {153, {0xB0, 0x8022, "Next Track", 0xB0, 0xD1, "MEDIA_Next_TRACK_5"}},
    {156, {0x0D, 0x0054, "Num Enter", 0x0D, 0x58, "IDS_KEYBOARD_S_ENTER"}},
    {157, {0xA3, 0x0066, "Right Ctrl", 0xA3, 0xE4, "IDS_KEYBOARD_RCTRL"}},
    {160, {0xAD, 0x8025, "Mute", 0xAD, 0xCD, "MEDIA_MUTE_8"}},
    {161, {0xB7, 0x801C, "Calc", 0xB7, 0xC4, "MEDIA_CALC_17"}},
    {162, {0xB3, 0x801F, "Play/Pause", 0xB3, 0xCE, "MEDIA_PALY_PAUSE_2"}},
    {164, {0xB2, 0x8020, "Stop Play", 0xB2, 0xCF, "MEDIA_STOP_PALY_3"}},
    {174, {0xAE, 0x8024, "V-", 0xAE, 0xC1, "MEDIA_V_LOW_6"}},
    {176, {0xAF, 0x8023, "V+", 0xAF, 0xC0, "MEDIA_V_ADD_7"}},
    {178, {0xAC, 0x8026, "WWW Home", 0xAC, 0xC7, "MEDIA_WWW_HOME_9"}},
    {181, {0x6F, 0x0050, "Num /", 0x6F, 0x54, "IDS_KEYBOARD_S_VIR"}},
    {182, {0xA1, 0x0067, "Right Shift", 0xA1, 0xE5, "IDS_KEYBOARD_RSHIFT"}},
    {183, {0x2C, 0x0040, "Print Screen", 0x2C, 0x46, "IDS_KEYBOARD_PRINT"}},
    {184, {0xA5, 0x0068, "Right Alt", 0xA5, 0xE6, "IDS_KEYBOARD_RALT"}},
    {197, {0x90, 0x004F, "Num Lock", 0x90, 0x53, "IDS_KEYBOARD_NUM"}},
    {198, {0x03, 0x0042, "Break", 0x03, 0x48, "IDS_KEYBOARD_BREAK"}},
    {199, {0x24, 0x0045, "Home", 0x24, 0x4A, "IDS_KEYBOARD_HOME"}},
    {200, {0x26, 0x0049, "↑", 0x26, 0x52, "IDS_KEYBOARD_UP"}},
    {201, {0x21, 0x0047, "Page Up", 0x21, 0x4B, "IDS_KEYBOARD_PAGE_UP"}},
    {203, {0x25, 0x004B, "←", 0x25, 0x50, "IDS_KEYBOARD_LEFT"}},
    {205, {0x27, 0x004C, "→", 0x27, 0x4F, "IDS_KEYBOARD_RIGHT"}},
    {207, {0x23, 0x0046, "End", 0x23, 0x4D, "IDS_KEYBOARD_END"}},
    {208, {0x28, 0x004A, "↓", 0x28, 0x51, "IDS_KEYBOARD_DOWN"}},
    {209, {0x22, 0x0048, "Page Down", 0x22, 0x4E, "IDS_KEYBOARD_PAGE_DOWN"}},
    {210, {0x2D, 0x0043, "Insert", 0x2D, 0x49, "IDS_KEYBOARD_INSERT"}},
    {211, {0x2E, 0x0044, "Delete", 0x2E, 0x4C, "IDS_KEYBOARD_DELETE"}},
    {219, {0x5B, 0x0065, "Win", 0x5B, 0xE3, "IDS_KEYBOARD_LWIN"}},
    {220, {0x5C, 0x0069, "Right Win", 0x5C, 0xE7, "IDS_KEYBOARD_RWIN"}},
    {221, {0x5D, 0x0061, "App", 0x5D, 0x65, "IDS_KEYBOARD_APP"}},
    {222, {0xFF, 0x8001, "Power", 0xFF, 0x81, "IDS_KEYBOARD_POWER"}},
    {223, {0x5F, 0x8002, "Sleep", 0x5F, 0x82, "IDS_KEYBOARD_SLEEP"}},
    {225, {0xD1, 0x006E, "Roll Up", 0xD1, 0xF4, "IDS_KEYBOARD_ROLL_UP"}},
    {226, {0xD2, 0x006F, "Roll Down", 0xD2, 0xF5, "IDS_KEYBOARD_ROLL_DOWN"}},
    {227, {0xFF, 0x8003, "Wake", 0xFF, 0x83, "IDS_KEYBOARD_WAKE"}},
    {229, {0xAA, 0x802C, "WWW Search", 0xAA, 0xC6, "MEDIA_WWW_SEARCH_15"}},
    {230, {0xAB, 0x802B, "WWW Favorite", 0xAB, 0xCC, "MEDIA_WWW_FAVORITE_14"}},
    {231, {0xA8, 0x8027, "WWW Refresh", 0xA8, 0xCB, "MEDIA_WWW_REFRESH_10"}},
    {232, {0xA9, 0x8028, "WWW Stop", 0xA9, 0xCA, "MEDIA_WWW_STOP_11"}},
    {233, {0xA7, 0x802A, "WWW Forward", 0xA7, 0xC9, "MEDIA_WWW_FORWARD_13"}},
    {234, {0xA6, 0x8029, "WWW Back", 0xA6, 0xC8, "MEDIA_WWW_BACK_12"}},
    {235, {0xB6, 0x801B, "My PC", 0xB6, 0xC5, "MEDIA_MY_PC_16"}},
    {236, {0xB4, 0x801D, "Mail", 0xB4, 0xC3, "MEDIA_MAIL_18"}},
    {237, {0xB5, 0x801E, "Media Player", 0xB5, 0xC2, "MEDIA_PALYER_1"}},
    {238, {0x88, 0x8005, "Pan Left", 0x88, 0x00, "IDS_KEYBOARD_MOU_PANLEFT"}},
    {239, {0x89, 0x8006, "Pan Right", 0x89, 0x00, "IDS_KEYBOARD_MOU_PANRIGHT"}},
    {240, {0x8A, 0x8004, "Double Click", 0x8A, 0x00, "IDS_KEYBOARD_MOU_DBCLICK"}},
    {241, {0x01, 0x006B, "Left Button", 0x01, 0xF1, "IDS_KEYBOARD_MOU_LEFT"}},
    {242, {0x02, 0x006C, "Right Button", 0x02, 0xF2, "IDS_KEYBOARD_MOU_RIGHT"}},
    {243, {0x04, 0x006D, "Middle Button", 0x04, 0xF3, "IDS_KEYBOARD_MOU_MIDDLE"}},
    {244, {0x8B, 0x8007, "Zoom-", 0x8B, 0xD2, "IDS_KEYBOARD_FUNC_ZOOMOUT"}},
    {245, {0x8C, 0x8008, "Zoom+", 0x8C, 0xD3, "IDS_KEYBOARD_FUNC_ZOOMIN"}},
    {246, {0x97, 0x8009, "Copy", 0x97, 0x00, "IDS_KEYBOARD_FUNC_COPY"}},
    {247, {0x98, 0x800A, "Cut", 0x98, 0x00, "IDS_KEYBOARD_FUNC_CUT"}},
    {248, {0x99, 0x800B, "Paste", 0x99, 0x00, "IDS_KEYBOARD_FUNC_PASTE"}},
    {249, {0x9A, 0x800C, "Minimize", 0x9A, 0x00, "IDS_KEYBOARD_FUNC_MINI"}},
    {250, {0x9B, 0x800D, "Maximize", 0x9B, 0x00, "IDS_KEYBOARD_FUNC_MAXI"}},
    {251, {0x9C, 0x800E, "Word", 0x9C, 0xD4, "IDS_KEYBOARD_FUNC_WORD"}},
    {252, {0x9D, 0x800F, "Excel", 0x9D, 0xD5, "IDS_KEYBOARD_FUNC_EXCEL"}},
    {253, {0x9E, 0x8010, "PowerPoint", 0x9E, 0x00, "IDS_KEYBOARD_FUNC_POWERPOINT"}},
    {254, {0x9F, 0x8011, "Calendar", 0x9F, 0x00, "IDS_KEYBOARD_FUNC_CALENDAR"}},
};
static_assert(std::size(kFilledRows) == 157);

constexpr bool rowsAscendWithinTable() {
    KeyIndex previous = 0;
    for (const FilledRow& row : kFilledRows) {
        if (row.index <= previous || row.index >= kKeyInfoRows) {
            return false;
        }
        previous = row.index;
    }
    return true;
}
static_assert(rowsAscendWithinTable());

constexpr std::array<KeyInfo, kKeyInfoRows> buildKeyInfoTable() {
    std::array<KeyInfo, kKeyInfoRows> table{};
    for (const FilledRow& row : kFilledRows) {
        table[row.index] = row.info;
    }
    return table;
}

constexpr std::array<KeyInfo, kKeyInfoRows> kKeyInfoTable = buildKeyInfoTable();

constexpr std::array<KeyPosition, kStandardKeyCount> kKeyPositionList{{
    {0x01E, "A", {1058}},
    {0x030, "B", {1075}},
    {0x02E, "C", {1073}},
    {0x020, "D", {1060}},
    {0x012, "E", {1046}},
    {0x021, "F", {1061}},
    {0x022, "G", {1062}},
    {0x023, "H", {1063}},
    {0x017, "I", {1051}},
    {0x024, "J", {1064}},
    {0x025, "K", {1065}},
    {0x026, "L", {1066}},
    {0x032, "M", {1077}},
    {0x031, "N", {1076}},
    {0x018, "O", {1052}},
    {0x019, "P", {1053}},
    {0x010, "Q", {1044}},
    {0x013, "R", {1047}},
    {0x01F, "S", {1059}},
    {0x014, "T", {1048}},
    {0x016, "U", {1050}},
    {0x02F, "V", {1074}},
    {0x011, "W", {1045}},
    {0x02D, "X", {1072}},
    {0x015, "Y", {1049}},
    {0x02C, "Z", {1071}},
    {0x002, "1", {1030}},
    {0x003, "2", {1031}},
    {0x004, "3", {1032}},
    {0x005, "4", {1033}},
    {0x006, "5", {1034}},
    {0x007, "6", {1035}},
    {0x008, "7", {1036}},
    {0x009, "8", {1037}},
    {0x00A, "9", {1038}},
    {0x00B, "0", {1039}},
    {0x01C, "Enter", {1070}},
    {0x001, "Esc", {1022}},
    {0x00E, "Backspace", {1043}},
    {0x00F, "Tab", {1056}},
    {0x039, "Space", {1090}},
    {0x00C, "-", {1040}},
    {0x00D, "=", {1041}},
    {0x01A, "[", {1054}},
    {0x01B, "]", {1055}},
    {0x02B, "\\", {1042}},
    {0x027, ";", {1067}},
    {0x028, "'", {1068}},
    {0x029, "`", {1029}},
    {0x033, ",", {1078}},
    {0x034, ".", {1079}},
    {0x035, "/", {1080}},
    {0x03B, "F1", {1010}},
    {0x03C, "F2", {1011}},
    {0x03D, "F3", {1012}},
    {0x03E, "F4", {1013}},
    {0x03F, "F5", {1014}},
    {0x040, "F6", {1015}},
    {0x041, "F7", {1023}},
    {0x042, "F8", {1024}},
    {0x043, "F9", {1025}},
    {0x044, "F10", {1026}},
    {0x057, "F11", {1027}},
    {0x058, "F12", {1028}},
    {0x137, "Print Screen", {1091}},
    {0x045, "Pause", {1093}},
    {0x152, "Insert", {1094}},
    {0x153, "Delete", {1097}},
    {0x147, "Home", {1095}},
    {0x14F, "End", {1098}},
    {0x149, "Page Up", {1096}},
    {0x151, "Page Down", {1099}},
    {0x148, "↑", {1103}},
    {0x150, "↓", {1101}},
    {0x14B, "←", {1100}},
    {0x14D, "→", {1102}},
    {0x046, "Scroll Lock", {1092}},
    {0x03A, "Caps Lock", {1069}},
    {0x15D, "App", {1088}},
    {0x01D, "Ctrl", {1083}},
    {0x11D, "Right Ctrl", {1089}},
    {0x02A, "Shift", {1082}},
    {0x036, "Right Shift", {1081}},
    {0x038, "Alt", {1085}},
    {0x138, "Right Alt", {1086}},
    {0x15B, "Win", {1084}},
    {0x15C, "Right Win", {1087}},
    {0x04F, "Num 1", {1115}},
    {0x050, "Num 2", {1116}},
    {0x051, "Num 3", {1117}},
    {0x04B, "Num 4", {1112}},
    {0x04C, "Num 5", {1113}},
    {0x04D, "Num 6", {1114}},
    {0x047, "Num 7", {1108}},
    {0x048, "Num 8", {1109}},
    {0x049, "Num 9", {1110}},
    {0x052, "Num 0", {1120}},
    {0x145, "Num Lock", {1104}},
    {0x11C, "Num Enter", {1118}},
    {0x053, "Num .", {1119}},
    {0x135, "Num /", {1105}},
    {0x037, "Num *", {1106}},
    {0x04A, "Num -", {1107}},
    {0x04E, "Num +", {1111}},
    {0x056, "K45", {1199}},
    {0x073, "K56", {1200}},
}};

constexpr std::array<KeyButton, 9> kGKeyButtons{
    {{1000}, {1001}, {1002}, {1003}, {1004}, {1140}, {1141}, {1142}, {1143}}};

constexpr std::array<std::uint16_t, 32> kConsumerByDeviceCode{
    0x00E9, 0x00EA, 0x0183, 0x018A, 0x0192, 0x0194, 0x0221, 0x0223, 0x0224,
    0x0225, 0x0226, 0x0227, 0x022A, 0x00E2, 0x00CD, 0x00B7, 0x00B6, 0x00B5};

constexpr std::array<MediaKey, 18> kMediaKeyTable{{
    {0x0183, 0x16D, "MEDIA_PALYER_1"},
    {0x00CD, 0x122, "MEDIA_PALY_PAUSE_2"},
    {0x00B7, 0x124, "MEDIA_STOP_PALY_3"},
    {0x00B6, 0x110, "MEDIA_PREV_TRACK_4"},
    {0x00B5, 0x119, "MEDIA_Next_TRACK_5"},
    {0x00EA, 0x12E, "MEDIA_V_LOW_6"},
    {0x00E9, 0x130, "MEDIA_V_ADD_7"},
    {0x00E2, 0x120, "MEDIA_MUTE_8"},
    {0x0223, 0x132, "MEDIA_WWW_HOME_9"},
    {0x0227, 0x167, "MEDIA_WWW_REFRESH_10"},
    {0x0226, 0x168, "MEDIA_WWW_STOP_11"},
    {0x0224, 0x16A, "MEDIA_WWW_BACK_12"},
    {0x0225, 0x169, "MEDIA_WWW_FORWARD_13"},
    {0x022A, 0x166, "MEDIA_WWW_FAVORITE_14"},
    {0x0221, 0x165, "MEDIA_WWW_SEARCH_15"},
    {0x0194, 0x16B, "MEDIA_MY_PC_16"},
    {0x0192, 0x121, "MEDIA_CALC_17"},
    {0x018A, 0x16C, "MEDIA_MAIL_18"},
}};

constexpr std::array<KeyCode, 8> kModifierMask{0x01D, 0x02A, 0x038, 0x15B,
                                               0x11D, 0x036, 0x138, 0x15C};

// Device codes that name no usage, and the ranges the firmware gives to system control and
// mouse functions; every other device code is a keyboard-page usage.
constexpr std::uint8_t kNoUsage = 0x00;
constexpr std::uint8_t kNoUsageAlt = 0xFF;
constexpr std::uint8_t kFirstSystemCode = 0x81;
constexpr std::uint8_t kLastSystemCode = 0x83;
constexpr std::uint8_t kFirstMouseCode = 0xF1;
constexpr std::uint8_t kLastMouseCode = 0xF8;
constexpr std::uint16_t kFirstConsumerCode = 0xC0;

constexpr std::uint8_t kExtraKeyTag = 0xA2;

struct MouseEntry {
    KeyCode code;
    std::uint8_t b1;
    std::uint8_t b2;
};
constexpr MouseEntry kMouseEntries[] = {
    {0x171, 0x01, 0x01}, {0x172, 0x01, 0x02}, {0x173, 0x01, 0x04},
    {0x161, 0x05, 0x01}, {0x162, 0x05, 0xFF},
};

constexpr KeyCode kRightShift = 0x036;

constexpr KeyIndex indexOfCode(KeyCode code) {
    if (code < 0x100) {
        return code;
    }
    if (code < kFirstExtraKeyCode) {
        return static_cast<KeyIndex>((code - 0x80) % 256);
    }
    return static_cast<KeyIndex>(code - 0x100);
}

constexpr KeyCode codeOfIndex(KeyIndex index) {
    if (index < 128) {
        return index;
    }
    if (index < kKeyInfoRows) {
        return static_cast<KeyCode>(index + 128);
    }
    if (index < kKeyInfoRows + kExtraKeyCount) {
        return static_cast<KeyCode>(index + 0x100);
    }
    return 0;
}

const KeyInfo& rowOfIndex(KeyIndex index) {
    static constexpr KeyInfo kEmptyRow{};
    return index < kKeyInfoRows ? kKeyInfoTable[index] : kEmptyRow;
}

const KeyInfo& rowOfCode(KeyCode code) {
    return rowOfIndex(indexOfCode(code));
}

// Virtual keys that several rows carry, and the generic modifier keys that no row carries,
// each stand for one fixed key.
struct VkChoice {
    std::uint8_t vk;
    KeyCode code;
};
constexpr VkChoice kVkChoices[] = {
    {0x0D, 0x01C}, {0x2C, 0x137}, {0xA1, 0x036}, {0x10, 0x02A}, {0x11, 0x01D}, {0x12, 0x038},
};

// Mouse buttons are recorded from mouse messages, and 0xFF is the table's "no virtual key".
constexpr bool isMouseOrPlaceholderVk(std::uint8_t vk) {
    return vk == 0x01 || vk == 0x02 || vk == 0x04 || vk == 0xFF;
}

// The program's own function rows borrow unassigned virtual keys 0x88-0x9F; an event carrying
// one of those is not one of these keys.
constexpr bool isPrivateFunctionVk(const KeyInfo& row) {
    return row.vk >= 0x88 && row.vk <= 0x9F && (row.keyId & 0x8000) != 0;
}

constexpr bool hasVkChoice(std::uint8_t vk) {
    return std::any_of(std::begin(kVkChoices), std::end(kVkChoices),
                       [vk](const VkChoice& choice) { return choice.vk == vk; });
}

// Guards the table against a virtual key gaining a second row without a fixed choice.
constexpr bool sharedVksAreChosen() {
    for (const FilledRow& row : kFilledRows) {
        const std::uint8_t vk = row.info.vk;
        if (isMouseOrPlaceholderVk(vk) || isPrivateFunctionVk(row.info) || hasVkChoice(vk)) {
            continue;
        }
        const auto carriers =
            std::count_if(std::begin(kFilledRows), std::end(kFilledRows),
                          [vk](const FilledRow& other) { return other.info.vk == vk; });
        if (carriers != 1) {
            return false;
        }
    }
    return true;
}
static_assert(sharedVksAreChosen());

constexpr std::array<KeyCode, 256> buildVkFallback() {
    std::array<KeyCode, 256> fallback{};
    for (const FilledRow& row : kFilledRows) {
        const std::uint8_t vk = row.info.vk;
        if (!isMouseOrPlaceholderVk(vk) && !isPrivateFunctionVk(row.info)) {
            fallback[vk] = codeOfIndex(row.index);
        }
    }
    for (const VkChoice& choice : kVkChoices) {
        fallback[choice.vk] = choice.code;
    }
    return fallback;
}

constexpr std::array<KeyCode, 256> kVkFallback = buildVkFallback();

KeyCode firstCodeWithDeviceCode(std::uint16_t deviceCode) {
    const auto row =
        std::find_if(kKeyInfoTable.begin(), kKeyInfoTable.end(),
                     [deviceCode](const KeyInfo& info) { return info.deviceCode == deviceCode; });
    return row == kKeyInfoTable.end()
               ? KeyCode{0}
               : codeOfIndex(static_cast<KeyIndex>(row - kKeyInfoTable.begin()));
}

} // namespace

const std::array<KeyInfo, kKeyInfoRows>& KeyInfoTable() {
    return kKeyInfoTable;
}
const std::array<KeyPosition, kStandardKeyCount>& KeyPositionList() {
    return kKeyPositionList;
}
const std::array<KeyButton, 9>& GKeyButtons() {
    return kGKeyButtons;
}
const std::array<std::uint16_t, 32>& ConsumerByDeviceCode() {
    return kConsumerByDeviceCode;
}
const std::array<MediaKey, 18>& MediaKeyTable() {
    return kMediaKeyTable;
}
const std::array<KeyCode, 8>& ModifierMask() {
    return kModifierMask;
}

std::string functionKeyLanguageKey(int position) {
    if (position < 0 || position >= kFunctionKeyCount) {
        return {};
    }
    return "FUNC_KEY_DESC" + std::to_string(position + 1);
}

KeyIndex keyIndexFromCode(KeyCode code) {
    return indexOfCode(code);
}

KeyCode keyCodeFromIndex(KeyIndex index) {
    return codeOfIndex(index);
}

UsageRef usageFromKeyCode(KeyCode code) {
    const std::uint8_t device = rowOfCode(code).deviceCode;
    if (device == kNoUsage || device == kNoUsageAlt) {
        return {kUsagePageNone, 0};
    }
    if (device >= kFirstSystemCode && device <= kLastSystemCode) {
        return {kUsagePageSystem, device};
    }
    if (device >= kFirstMouseCode && device <= kLastMouseCode) {
        return {kUsagePageMouse, device};
    }
    return {kUsagePageKeyboard, device};
}

KeyCode keyCodeFromUsage(UsageRef usage) {
    std::uint16_t device = 0;
    switch (usage.page) {
    case kUsagePageKeyboard:
        device = usage.usage;
        break;
    case kUsagePageSystem:
        if (usage.usage >= kFirstSystemCode && usage.usage <= kLastSystemCode) {
            device = usage.usage;
        }
        break;
    case kUsagePageConsumer: {
        const auto found =
            std::find(kConsumerByDeviceCode.begin(), kConsumerByDeviceCode.end(), usage.usage);
        if (found != kConsumerByDeviceCode.end()) {
            device = static_cast<std::uint16_t>(kFirstConsumerCode +
                                                (found - kConsumerByDeviceCode.begin()));
        }
        break;
    }
    default:
        break;
    }
    return firstCodeWithDeviceCode(device);
}

KeyCode keyCodeFromModifierMask(std::uint8_t mask) {
    for (std::size_t bit = 0; bit < kModifierMask.size(); ++bit) {
        if ((static_cast<unsigned>(mask) >> bit) & 1U) {
            return kModifierMask[bit];
        }
    }
    return 0;
}

std::uint8_t modifierMaskFromKeyCode(KeyCode code) {
    const auto found = std::find(kModifierMask.begin(), kModifierMask.end(), code);
    if (found == kModifierMask.end()) {
        return 0;
    }
    return static_cast<std::uint8_t>(1U << (found - kModifierMask.begin()));
}

KeyCode keyCodeFromEntry(DeviceKeyEntry entry) {
    const auto word = static_cast<std::uint16_t>(entry.b1 | (entry.b2 << 8));
    switch (entry.type) {
    case kEntryMouse: {
        const auto found = std::find_if(std::begin(kMouseEntries), std::end(kMouseEntries),
                                        [entry](const MouseEntry& mouse) {
                                            return mouse.b1 == entry.b1 && mouse.b2 == entry.b2;
                                        });
        return found == std::end(kMouseEntries) ? KeyCode{0} : found->code;
    }
    case kEntryKeyboard:
        return entry.b1 == kKeyboardKey ? keyCodeFromUsage({kUsagePageKeyboard, entry.b2})
                                        : keyCodeFromModifierMask(entry.b2);
    case kEntryConsumer:
        return keyCodeFromUsage({kUsagePageConsumer, word});
    case kEntrySystem:
        return keyCodeFromUsage({kUsagePageSystem, word});
    case kEntryExtraKey:
        // Only the keyboard's 18 extra keys exist; any other number names no key.
        if (entry.b1 == kExtraKeyTag && entry.b2 >= 1 && entry.b2 <= kExtraKeyCount) {
            return static_cast<KeyCode>(kFirstExtraKeyCode - 1 + entry.b2);
        }
        return 0;
    default:
        return 0;
    }
}

DeviceKeyEntry mouseEntryFromKeyCode(KeyCode code) {
    const auto found = std::find_if(std::begin(kMouseEntries), std::end(kMouseEntries),
                                    [code](const MouseEntry& mouse) { return mouse.code == code; });
    if (found == std::end(kMouseEntries)) {
        return {};
    }
    return {kEntryMouse, found->b1, found->b2};
}

KeyCode keyCodeFromKeyId(std::uint16_t keyId) {
    const auto row = std::find_if(kKeyInfoTable.begin(), kKeyInfoTable.end(),
                                  [keyId](const KeyInfo& info) { return info.keyId == keyId; });
    return row == kKeyInfoTable.end()
               ? KeyCode{0}
               : codeOfIndex(static_cast<KeyIndex>(row - kKeyInfoTable.begin()));
}

std::string keyNameFromCode(KeyCode code, const lang::TextLookup& texts, std::size_t capacity) {
    const KeyInfo& row = rowOfCode(code);
    std::string name = row.languageKey.empty() ? std::string{} : texts.text(row.languageKey);
    if (name.empty()) {
        name = lang::formatWithNumber(texts.text("UNKNOWN_KEY"), code);
    }
    const std::size_t room = capacity == 0 ? 0 : capacity - 1;
    std::u16string units = utf16FromUtf8(name);
    if (units.size() <= room) {
        return name;
    }
    units.resize(utf16CutLength(units, room));
    return utf8FromUtf16(units);
}

std::string keyNameFromKeyId(std::uint16_t keyId, const lang::TextLookup& texts) {
    const KeyInfo& row = rowOfCode(keyCodeFromKeyId(keyId));
    return row.languageKey.empty() ? std::string{} : texts.text(row.languageKey);
}

KeyCode keyCodeFromKeyEvent(std::uint8_t vk, std::uint32_t keyData) {
    const KeyCode fallback = kVkFallback[vk];
    const auto scan = static_cast<KeyCode>((keyData >> 16) & 0x1FF);
    const auto scanLow = static_cast<std::uint8_t>(scan & 0xFF);
    // Right Shift is not an extended key, but some keyboards' events flag it as one.
    if (scanLow == kRightShift) {
        return kRightShift;
    }
    if (vk == 0xFF) {
        return scan;
    }
    if (scanLow == 0) {
        return fallback;
    }
    const KeyInfo& scanned = rowOfCode(scan);
    if (scanned.vk == vk || scanned.altVk == vk) {
        return scan;
    }
    // A generic virtual key (Shift, Ctrl, Alt) takes the side its scan code names.
    return indexOfCode(fallback) == scanLow ? scan : fallback;
}

KeyCode keyCodeFromMouseMessage(std::uint32_t message) {
    switch (message) {
    case 0x201:
    case 0x202:
        return 0x171;
    case 0x204:
    case 0x205:
        return 0x172;
    case 0x207:
    case 0x208:
        return 0x173;
    default:
        return 0;
    }
}

bool isButtonUpMessage(std::uint32_t message) {
    return message == 0x202 || message == 0x205 || message == 0x208;
}

bool needsSyntheticPress(KeyCode code) {
    return code == 0x054 || code == 0x071 || code == 0x072 || code == 0x137;
}

std::u16string utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t codePoint =
            platform::nextUtf8CodePoint(utf8, at).value_or(platform::kReplacementCharacter);
        if (codePoint < 0x10000) {
            out.push_back(static_cast<char16_t>(codePoint));
        } else {
            const char32_t offset = codePoint - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        }
    }
    return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t at = 0; at < utf16.size(); ++at) {
        const char32_t unit = utf16[at];
        if (platform::isHighSurrogate(unit) && at + 1 < utf16.size() &&
            platform::isLowSurrogate(utf16[at + 1])) {
            platform::appendUtf8(out, platform::combineSurrogates(unit, utf16[at + 1]));
            ++at;
        } else if (platform::isHighSurrogate(unit) || platform::isLowSurrogate(unit)) {
            platform::appendUtf8(out, platform::kReplacementCharacter);
        } else {
            platform::appendUtf8(out, unit);
        }
    }
    return out;
}

std::size_t utf16CutLength(std::u16string_view text, std::size_t units) {
    if (text.size() <= units) {
        return text.size();
    }
    if (units > 0 && platform::isHighSurrogate(text[units - 1]) &&
        platform::isLowSurrogate(text[units])) {
        return units - 1;
    }
    return units;
}

} // namespace velkan::model

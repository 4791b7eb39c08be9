#include "actions/KeyTable.h"

#include <cstddef>

#include "actions/Strings.h"
#include "platform/Platform.h"

namespace rw {

std::vector<std::string> KeyNames;
std::vector<std::int16_t> KeyCodes;

namespace {

constexpr std::size_t kKeyTableRoom = 256;
constexpr std::uint32_t kExtendedKeyFlag = 0x01000000;
constexpr const char* kKeypadChars = "0123456789*+,-,/";

// The code part of a fixed entry is hexadecimal text, read the way the
// number fields of the settings file read "&H" + text: blanks, tabs and line
// feeds are ignored and the leading hex digits count. The table holds 16-bit
// codes, so only the low 16 bits are kept (FFFF is -1).
std::int16_t ReadHexCode(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) break;
        digits += c;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = ((value << 4) | static_cast<std::uint32_t>(d)) & 0xFFFFu;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

bool InTable(const std::string& name) {
    for (const auto& n : KeyNames)
        if (Sys().facts.EqualsIgnoringCase(n, name)) return true;
    return false;
}

void AddEntry(const std::string& name, std::int16_t code) {
    if (KeyNames.size() >= kKeyTableRoom) return;
    KeyNames.push_back(name);
    KeyCodes.push_back(code);
}

}  // namespace

std::string GetKeyName(int code) {
    const Platform& sys = Sys();
    const std::uint32_t scan = sys.input.MapVirtualKey(static_cast<std::uint32_t>(code));
    std::uint32_t flag = 0;
    std::string keypadName;
    bool keypad = false;
    const bool excluded = (code >= 112 && code <= 123) || code == 145 || code == 160 || code == 161;
    if (!excluded) {
        if (code >= 96 && code <= 111) {
            keypad = true;
            keypadName = code == 110 ? GetDecimalSeparator()
                                     : std::string(1, kKeypadChars[code - 96]);
            keypadName += " (Num)";
        } else if (code == 3 || code == 12 || (code >= 33 && code <= 165)) {
            flag = kExtendedKeyFlag;
        }
    }
    const std::uint32_t lParam = (scan << 16) | flag;
    std::string text = CutAtNul(sys.input.GetKeyNameText(static_cast<std::int32_t>(lParam)));
    if (code == 44) return {};  // Print Screen: only the fixed name PRTSC
    return keypad ? keypadName : text;
}

void LoadKeyTable() {
    KeyNames.clear();
    KeyCodes.clear();
    KeyNames.reserve(kKeyTableRoom);
    KeyCodes.reserve(kKeyTableRoom);

    const Platform& sys = Sys();
    for (int id = 1; id <= kFixedKeyCount; ++id) {
        const std::string entry = sys.facts.LoadResString(id);
        const auto eq = entry.find('=');
        const std::string name = eq == std::string::npos ? entry : entry.substr(0, eq);
        const std::string hex = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
        AddEntry(name, ReadHexCode(hex));
    }

    for (int code = 13; code <= 255; ++code) {
        if (code >= 33 && code <= 47) continue;
        const std::string name = GetKeyName(code);
        if (name.empty() || name.front() == '(' || InTable(name)) continue;
        AddEntry(name, static_cast<std::int16_t>(code));
    }

    KeyNames.shrink_to_fit();
    KeyCodes.shrink_to_fit();
}

std::int16_t LookupKeyCode(const std::string& name) {
    for (std::size_t i = 0; i < KeyNames.size() && i < KeyCodes.size(); ++i)
        if (Sys().facts.EqualsIgnoringCase(KeyNames[i], name)) return KeyCodes[i];
    return 0;
}

}  // namespace rw

#include "backends/linux/LinuxUtil.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace rw::lnx {

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    // The first byte left out must not continue a character that is kept.
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut));
}

std::int32_t DecodeUtf8Char(std::string_view b) {
    if (b.empty()) return -1;
    auto c0 = static_cast<unsigned char>(b[0]);
    std::size_t n;
    std::int32_t cp;
    if (c0 < 0x80) return b.size() == 1 ? c0 : -1;
    if (c0 >= 0xC2 && c0 <= 0xDF) { n = 2; cp = c0 & 0x1F; }
    else if (c0 >= 0xE0 && c0 <= 0xEF) { n = 3; cp = c0 & 0x0F; }
    else if (c0 >= 0xF0 && c0 <= 0xF4) { n = 4; cp = c0 & 0x07; }
    else return -1;
    if (b.size() != n) return -1;
    for (std::size_t k = 1; k < n; ++k) {
        auto c = static_cast<unsigned char>(b[k]);
        if ((c & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return -1;
    if (cp >= 0xD800 && cp <= 0xDFFF) return -1;
    return cp;
}

static std::string Trim(std::string s) {
    const char* ws = " \t\r\n";
    auto a = s.find_first_not_of(ws);
    if (a == std::string::npos) return {};
    auto e = s.find_last_not_of(ws);
    return s.substr(a, e - a + 1);
}

std::string LangFromLocaleFile(std::string_view fileText) {
    std::istringstream in{std::string(fileText)};
    std::string line, found;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.rfind("export ", 0) == 0) line = Trim(line.substr(7));
        if (line.rfind("LANG=", 0) != 0) continue;
        std::string v = Trim(line.substr(5));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        found = v;  // the last assignment wins, as in a shell
    }
    return found;
}

std::uint16_t LangIdFromLocale(std::string_view locale) {
    std::string_view name = locale;
    auto cut = name.find_first_of(".@");
    if (cut != std::string_view::npos) name = name.substr(0, cut);
    if (name == "de_DE") return 1031;
    if (name == "de_CH") return 2055;
    if (name == "de_AT") return 3079;
    if (name == "hsb_DE") return 1070;
    return 1033;
}

std::string SystemLocale() {
    for (const char* file : {"/etc/default/locale", "/etc/locale.conf"}) {
        std::ifstream f(file);
        if (!f) continue;
        std::stringstream ss;
        ss << f.rdbuf();
        std::string v = LangFromLocaleFile(ss.str());
        if (!v.empty()) return v;
    }
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(var);
        if (v != nullptr && *v != '\0') return v;
    }
    return {};
}

std::string DisplayKey(std::string_view display) {
    std::string d(display);
    auto colon = d.rfind(':');
    if (colon != std::string::npos) {
        auto dot = d.find('.', colon);
        if (dot != std::string::npos) d.erase(dot);
    }
    for (char& c : d) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == ':' || c == '-' || c == '.';
        if (!ok) c = '_';
    }
    return d;
}

std::string LockFilePath(const std::string& runtimeDir, unsigned uid, std::string_view display) {
    std::string dir = runtimeDir.empty() ? std::string("/tmp") : runtimeDir;
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/replywick-" + std::to_string(uid) + "-" + DisplayKey(display) + ".lock";
}

std::string HostLockFilePath(const std::string& dir, std::string_view host, unsigned uid, std::string_view display) {
    std::string h(host);
    for (char& c : h) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!ok) c = '_';
    }
    if (h.empty()) h = "host";
    std::string d = dir;
    if (d.size() > 1 && d.back() == '/') d.pop_back();
    return d + "/replywick-" + h + "-" + std::to_string(uid) + "-" + DisplayKey(display) + ".lock";
}

}  // namespace rw::lnx

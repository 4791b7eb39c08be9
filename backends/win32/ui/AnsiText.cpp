#include "backends/win32/ui/AnsiText.h"

#include "backends/win32/Win32Api.h"

namespace rw::win32ui {

std::string Utf8ToAnsi(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide <= 0) return utf8;  // not UTF-8 after all: the bytes as they are
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, w.data(), wide);
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return utf8;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
    return out;
}

namespace {
void Convert(std::string& s) { s = Utf8ToAnsi(s); }
}  // namespace

ItemListTexts ToAnsi(ItemListTexts t) {
    for (std::string* s : {&t.caption, &t.ok, &t.cancel, &t.add, &t.edit, &t.remove, &t.arrange, &t.moveTip,
                           &t.readTip, &t.saveTip, &t.cutTip, &t.copyTip, &t.pasteTip, &t.notYet, &t.notRead,
                           &t.notTrusted, &t.readOnly, &t.notWritten})
        Convert(*s);
    return t;
}

ItemEditorTexts ToAnsi(ItemEditorTexts t) {
    for (std::string* s : {&t.entry, &t.name, &t.window, &t.title, &t.cls, &t.text, &t.module, &t.size,
                           &t.searchTool, &t.settings, &t.delay, &t.macro, &t.keys, &t.functions, &t.ok, &t.cancel,
                           &t.listTip, &t.searchTip})
        Convert(*s);
    for (std::string& s : t.titleTests) Convert(s);
    return t;
}

AboutTexts ToAnsi(AboutTexts t) {
    for (std::string* s : {&t.caption, &t.development, &t.ok, &t.openLink, &t.copyLink}) Convert(*s);
    return t;
}

}  // namespace rw::win32ui

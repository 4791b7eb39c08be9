#include "items/ItemText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace rw {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void AppendNumber(std::string& out, std::int32_t v) {
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

template <class Fn>
void ForEachLine(const std::string& s, Fn&& fn) {
    const char* data = s.data();
    const std::size_t n = s.size();
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t e = s.find(kCrLf.data(), pos, kCrLf.size());
        std::size_t end = e == std::string::npos ? n : e;
        std::size_t next = e == std::string::npos ? n : e + kCrLf.size();
        std::size_t b = pos;
        while (b < end && data[b] == ' ') ++b;
        while (end > b && data[end - 1] == ' ') --end;
        pos = next;
        if (!fn(std::string_view(data + b, end - b))) break;
    }
}

}  // namespace

std::size_t ItemTextSizeHint(const ItemRec& item) {
    return 128 + item.Desc.size() + item.Title.size() + item.WinClass.size() + item.Text.size() +
           item.Text.size() / 4 + item.Modul.size() + item.WinSize.size() + item.Macro.size();
}

void AppendItemText(std::string& out, const ItemRec& item) {
    out += "[Item]\r\nDesc=";
    out += item.Desc;
    out += "\r\nTitle=";
    out += item.Title;
    out += "\r\nTitleTestType=";
    AppendNumber(out, item.TitleTestType);
    out += "\r\nClass=";
    out += item.WinClass;
    out += "\r\nText=";
    // Every line of Text gets a "Text=" line of its own.
    const std::string& text = item.Text;
    std::size_t pos = 0;
    for (;;) {
        std::size_t e = text.find(kCrLf.data(), pos, kCrLf.size());
        if (e == std::string::npos) break;
        out.append(text, pos, e - pos);
        out += "\r\nText=";
        pos = e + kCrLf.size();
    }
    out.append(text, pos, std::string::npos);
    out += "\r\nModul=";
    out += item.Modul;
    out += "\r\nSize=";
    out += item.WinSize;
    out += "\r\nMacro=";
    out += item.Macro;
    out += "\r\nDelay=";
    AppendNumber(out, item.Delay);
    out += "\r\n";
}

std::string ItemToText(const ItemRec& item) {
    std::string out;
    out.reserve(ItemTextSizeHint(item));
    AppendItemText(out, item);
    return out;
}

std::string NormalizeLineBreaks(const std::string& text) {
    if (text.find_first_of("\r\n") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append(kCrLf);
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out.append(kCrLf);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

void OneLine(std::string& value) {
    if (value.find_first_of("\r\n") == std::string::npos) return;
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            out.push_back(' ');
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
        } else {
            out.push_back(c);
        }
    }
    value.swap(out);
}

void TrimEndSpaces(std::string& value) {
    std::size_t end = value.size();
    while (end > 0 && value[end - 1] == ' ') --end;
    value.resize(end);
}

// Spaces at the end of every line of a CR LF text.
void TrimLineEnds(std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t e = text.find(kCrLf.data(), pos, kCrLf.size());
        std::string line = text.substr(pos, e == std::string::npos ? std::string::npos : e - pos);
        TrimEndSpaces(line);
        out += line;
        if (e == std::string::npos) break;
        out.append(kCrLf);
        pos = e + kCrLf.size();
    }
    text.swap(out);
}

}  // namespace

void MakeStorable(ItemRec& rec) {
    for (std::string* field : {&rec.Desc, &rec.Title, &rec.WinClass, &rec.Modul, &rec.Macro, &rec.WinSize})
        OneLine(*field);
    if (rec.Text.find_first_of("\r\n") != std::string::npos) rec.Text = NormalizeLineBreaks(rec.Text);
}

void ParseItemText(const std::string& sItemString, ItemRec& rec) {
    rec = ItemRec{};
    // The lines of Text go into one buffer of fixed capacity, reserved when
    // the first "Text=" line comes (never more than the input could fill).
    std::string textBuf;
    bool reserved = false;
    bool tookText = false;
    ForEachLine(sItemString, [&](std::string_view line) {
        if (line == "[Item]") return false;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return true;
        std::string_view key = line.substr(0, eq + 1);
        std::string_view value = line.substr(eq + 1);
        // Keys are matched exactly, case included.
        switch (key.size()) {
            case 5:
                if (key == "Desc=") rec.Desc.assign(value);
                else if (key == "Size=") rec.WinSize.assign(value);
                else if (key == "Text=") {
                    if (!reserved) {
                        textBuf.reserve(std::min(kTextBufferChars, sItemString.size()));
                        reserved = true;
                    }
                    if (textBuf.size() + value.size() + kCrLf.size() <= kTextBufferChars) {
                        textBuf.append(value);
                        textBuf.append(kCrLf);
                        tookText = true;
                    }
                }
                break;
            case 6:
                if (key == "Title=") rec.Title.assign(value);
                else if (key == "Class=") rec.WinClass.assign(value);
                else if (key == "Modul=") rec.Modul.assign(value);
                else if (key == "Macro=") rec.Macro.assign(value);
                else if (key == "Delay=") rec.Delay = NumericValue(std::string(value));
                break;
            case 14:
                if (key == "TitleTestType=") rec.TitleTestType = NumericValue(std::string(value));
                break;
            default:
                break;
        }
        return true;
    });
    if (tookText) rec.Text.assign(textBuf.data(), textBuf.size() - kCrLf.size());
    // A lone CR or LF inside a line (the settings reader ends lines at LF,
    // a pasted text at CR LF only) becomes what a list stores for it, and
    // the spaces that leaves at a line's end go as the text form drops them
    // anyway: what a parse gives is what writing and reading it gives back.
    const auto hasBreak = [](const std::string& v) { return v.find_first_of("\r\n") != std::string::npos; };
    for (std::string* field : {&rec.Desc, &rec.Title, &rec.WinClass, &rec.Modul, &rec.Macro, &rec.WinSize}) {
        if (!hasBreak(*field)) continue;
        OneLine(*field);
        TrimEndSpaces(*field);
    }
    if (hasBreak(rec.Text)) {
        rec.Text = NormalizeLineBreaks(rec.Text);
        TrimLineEnds(rec.Text);
    }
    if (rec.Desc.empty()) rec.Desc = "-";
}

}  // namespace rw

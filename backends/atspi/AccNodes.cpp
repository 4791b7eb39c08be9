// Pure helpers of the accessibility bridge: button names, dialog text and
// the processes not waited for again.
#include <algorithm>
#include <cstddef>

#include "AccessibilityBridge.h"
#include "base/Ascii.h"

namespace rw::atspi {

std::string StripMnemonics(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '_' || c == '&') {
            // A doubled marker is the literal character; a single one only
            // marks the next letter as the mnemonic.
            if (i + 1 < name.size() && name[i + 1] == c) {
                out += c;
                ++i;
            }
            continue;
        }
        out += c;
    }
    return out;
}

bool ButtonNameMatches(int id, std::string_view accessibleName) {
    const std::string name = StripMnemonics(accessibleName);
    auto is = [&](std::string_view want) { return EqualsAsciiNoCase(name, want); };
    switch (id) {
        case 1: return is("OK");
        case 2: return is("Cancel") || is("Abbrechen");
        case 4: return is("Retry") || is("Wiederholen");
        case 5: return is("Ignore") || is("Ignorieren");
        case 6: return is("Yes") || is("Ja");
        case 7: return is("No") || is("Nein");
        default: return false;
    }
}

std::string CutText259(std::string_view text) {
    constexpr std::size_t kMax = 259;
    if (text.size() <= kMax) return std::string(text);
    std::size_t end = kMax;
    // Back up over continuation bytes so that the character which does not
    // fit is dropped whole rather than split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

bool DialogTextReader::Add(const AccNode& node) {
    switch (step_) {
        case Step::Done: return true;
        case Step::AfterShort:
            text_ = CutText259(node.name);
            step_ = Step::Done;
            return true;
        case Step::AfterTitle:
            step_ = Step::Label;
            if (node.role == "label" && node.name.empty()) return false;
            return Add(node);
        case Step::Label:
            if (node.role != "label") return false;
            if (!title_.empty() && CutText259(node.name) == title_) {
                step_ = Step::AfterTitle;
                return false;
            }
            text_ = CutText259(node.name);
            step_ = text_.size() >= 4 ? Step::Done : Step::AfterShort;
            if (step_ == Step::AfterShort) text_.clear();
            return step_ == Step::Done;
    }
    return false;
}

std::string DialogTextFromNodes(const std::vector<AccNode>& nodes, std::string_view title) {
    DialogTextReader reader(title);
    for (const AccNode& n : nodes)
        if (reader.Add(n)) break;
    return reader.Text();
}

bool UnpublishedProcesses::Contains(std::uint32_t pid, std::uint64_t started) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.pid == pid && e.started == started; });
}

void UnpublishedProcesses::Add(std::uint32_t pid, std::uint64_t started) {
    // A process of the same id that ran before is replaced.
    Forget(pid);
    if (entries_.size() >= kMax) entries_.erase(entries_.begin());
    entries_.push_back({pid, started});
}

void UnpublishedProcesses::Forget(std::uint32_t pid) {
    std::erase_if(entries_, [&](const Entry& e) { return e.pid == pid; });
}

}  // namespace rw::atspi

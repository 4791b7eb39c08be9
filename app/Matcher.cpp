#include "app/Matcher.h"

#include <optional>

#include "actions/ModuleLookup.h"
#include "actions/Strings.h"
#include "actions/WinServices.h"
#include "base/AppValues.h"
#include "items/ItemText.h"
#include "items/Items.h"

namespace rw {

namespace {

// x contains y: never when x is empty; always when y is empty.
bool Contains(const std::string& x, const std::string& y) {
    if (x.empty()) return false;
    return y.empty() || x.find(y) != std::string::npos;
}

// The shorter of a and b (a when both are equal in length) and the longer.
void ShorterLonger(const std::string& a, const std::string& b, const std::string*& s,
                   const std::string*& l) {
    if (b.size() < a.size()) {
        s = &b;
        l = &a;
    } else {
        s = &a;
        l = &b;
    }
}

// Width and height an item asks for; 0 where it names none. Only a
// lower-case "x" separates them.
void ItemSize(const std::string& winSize, std::int32_t& width, std::int32_t& height) {
    width = NumericValue(winSize);
    std::size_t x = winSize.find('x');
    height = x == std::string::npos ? 0 : NumericValue(winSize.substr(x + 1));
}

}  // namespace

bool EitherStartsWith(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.empty() || b.empty()) return false;
    const std::string* s;
    const std::string* l;
    ShorterLonger(a, b, s, l);
    return l->compare(0, s->size(), *s) == 0;
}

bool EitherEndsWith(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.empty() || b.empty()) return false;
    const std::string* s;
    const std::string* l;
    ShorterLonger(a, b, s, l);
    return l->compare(l->size() - s->size(), s->size(), *s) == 0;
}

bool TitleMatches(const std::string& pattern, const std::string& text, std::int32_t testType) {
    switch (testType) {
        case Exact:
            return pattern == text;
        case FromLeft:
            return EitherStartsWith(pattern, text);
        case FromRight:
            return EitherEndsWith(pattern, text);
        case Anywhere:
            return Contains(text, pattern) || Contains(pattern, text);
        case EitherEnd:
            return EitherStartsWith(pattern, text) || EitherEndsWith(pattern, text);
        default:
            return false;  // an unknown test type makes its item unmatchable
    }
}

bool FindMatchingItem(WinHandle w) {
    std::string title;
    return FindMatchingItem(w, title);
}

bool FindMatchingItem(WinHandle w, std::string& title) {
    const Platform& sys = Sys();
    const std::string cls = GetWinClass(w);
    title = GetWinText(w);
    // A window that has just been created may not have its title yet.
    for (int rounds = 0; title.empty() && rounds < 20; ++rounds) {
        DebugLine([&] { return "NewFG: no text  class=" + cls; });
        sys.clock.Sleep(10);
        title = GetWinText(w);
    }
    // The dialog's text is read once, when the first item whose title and
    // class fit asks for one: reading it may mean waiting for the dialog's
    // program to appear on the accessibility bus, which a program that
    // never does would make every window pay for. Items keep their lines as
    // CR LF (see MakeStorable); a dialog whose message has lines ending in
    // LF alone compares the same way.
    std::optional<std::string> dialogText;
    auto textOfDialog = [&]() -> const std::string& {
        if (!dialogText) dialogText = NormalizeLineBreaks(GetDialogText(w));
        return *dialogText;
    };
    DebugLine([&] { return "NewFG: '" + title + "'"; });

    const std::int32_t count = gItems.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        gItems.GetItem(i, CurItem);
        DebugLine([&] {
            return "Compare with '" + CurItem.Title + "'   -> " +
                   (TitleMatches(CurItem.Title, title, EitherEnd) ? "True" : "False");
        });
        // The tests run from cheap to expensive and stop at the first that
        // fails: the rectangle and the module are fetched only for items that
        // got that far, anew for each such item.
        if (!TitleMatches(CurItem.Title, title, CurItem.TitleTestType)) continue;
        if (cls != CurItem.WinClass) continue;
        if (!CurItem.Text.empty() && !TitleMatches(CurItem.Text, textOfDialog(), EitherEnd)) continue;
        std::int32_t width = 0;
        std::int32_t height = 0;
        ItemSize(CurItem.WinSize, width, height);
        if (width != 0 && height != 0) {
            Rect r;
            sys.windows.GetWindowRect(w, r);
            if (static_cast<std::int64_t>(r.right) - r.left != width ||
                static_cast<std::int64_t>(r.bottom) - r.top != height)
                continue;
        }
        // An item that names no module needs no lookup (which asks the
        // accessibility bus where windows name no process). Letter case is
        // folded by the platform's rules, so C:\Büro\a.exe and
        // C:\BÜRO\A.EXE are one module.
        if (!(CurItem.Modul.empty() || CurItem.Modul == "*" ||
              sys.facts.EqualsIgnoringCase(CurItem.Modul, GetWindowModule(w))))
            continue;
        return true;
    }
    return false;
}

}  // namespace rw

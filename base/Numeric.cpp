#include "base/Numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace rw {

namespace {

bool IsIgnoredInNumber(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Walks a value while skipping the blanks, tabs and line feeds that the
// numeric rule ignores wherever they stand.
class NumberCursor {
public:
    explicit NumberCursor(const std::string& s) : s_(s) { Skip(); }
    bool AtEnd() const { return pos_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
    void Next() {
        ++pos_;
        Skip();
    }

private:
    void Skip() {
        while (pos_ < s_.size() && IsIgnoredInNumber(s_[pos_])) ++pos_;
    }
    const std::string& s_;
    std::size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

double ReadBased(NumberCursor& cur, int base) {
    double value = 0;
    for (;;) {
        int d = HexDigit(cur.Peek());
        if (d < 0 || d >= base) break;
        // Grows to infinity on absurdly long input, which the clamp handles.
        value = value * base + d;
        cur.Next();
    }
    return value;
}

double ReadDecimal(NumberCursor& cur) {
    bool negative = false;
    if (cur.Peek() == '+' || cur.Peek() == '-') {
        negative = cur.Peek() == '-';
        cur.Next();
    }
    // The value is digits * 10^shift, read as a double. Only the first kKeep
    // significant digits are kept (plus a sticky 1 when a nonzero digit was
    // dropped, so the conversion still sees that the tail was not zero), which
    // keeps absurdly long input cheap; from_chars then does a correctly
    // rounded conversion that does not depend on the C locale's decimal
    // point.
    constexpr std::size_t kKeep = 40;
    std::string digits;
    long long shift = 0;
    bool anyDigit = false;
    bool droppedNonZero = false;
    auto take = [&](char c, bool fraction) {
        anyDigit = true;
        if (digits.empty() && c == '0') {
            if (fraction) --shift;
        } else if (digits.size() < kKeep) {
            digits.push_back(c);
            if (fraction) --shift;
        } else {
            if (!fraction) ++shift;
            if (c != '0') droppedNonZero = true;
        }
    };
    while (IsDigit(cur.Peek())) {
        take(cur.Peek(), false);
        cur.Next();
    }
    if (cur.Peek() == '.') {
        cur.Next();
        while (IsDigit(cur.Peek())) {
            take(cur.Peek(), true);
            cur.Next();
        }
    }
    if (!anyDigit) return 0;

    // An exponent letter only counts when digits follow it (after an
    // optional sign); otherwise reading stops before the letter, and since
    // nothing after the number matters, there is no need to step back.
    long long exponent = 0;
    char c = cur.Peek();
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
        cur.Next();
        bool expNegative = false;
        if (cur.Peek() == '+' || cur.Peek() == '-') {
            expNegative = cur.Peek() == '-';
            cur.Next();
        }
        // Saturates: anything beyond lies far outside every result range.
        constexpr long long kExpCap = 1'000'000'000LL;
        while (IsDigit(cur.Peek())) {
            exponent = std::min(kExpCap, exponent * 10 + (cur.Peek() - '0'));
            cur.Next();
        }
        if (expNegative) exponent = -exponent;
    }

    const double sign = negative ? -1.0 : 1.0;
    if (digits.empty()) return sign * 0.0;
    if (droppedNonZero) {
        digits.push_back('1');
        --shift;
    }
    shift += exponent;
    // The value lies in [10^(mag-1), 10^mag): decide the hopeless cases here
    // instead of letting the conversion overflow.
    long long mag = static_cast<long long>(digits.size()) + shift;
    if (mag > 20) return sign * std::numeric_limits<double>::infinity();
    if (mag < -20) return sign * 0.0;
    digits.push_back('e');
    digits += std::to_string(shift);
    double value = 0;
    auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (res.ec != std::errc()) return 0;
    return sign * value;
}

}  // namespace

double ReadLeadingNumber(const std::string& value) {
    NumberCursor cur(value);
    if (cur.Peek() == '&') {
        cur.Next();
        char c = cur.Peek();
        if (c == 'H' || c == 'h') {
            cur.Next();
            return ReadBased(cur, 16);
        }
        if (c == 'O' || c == 'o') {
            cur.Next();
            return ReadBased(cur, 8);
        }
        return 0;
    }
    return ReadDecimal(cur);
}

std::int32_t RoundToInt32(double value) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) return 0;
    // Out of range is clamped, never wrapped: a delay typed far too large
    // must not turn into a negative one.
    if (value >= static_cast<double>(kMax)) return kMax;
    if (value <= static_cast<double>(kMin)) return kMin;
    double whole = std::floor(value);
    double frac = value - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return static_cast<std::int32_t>(whole);
}

std::int32_t NumericValue(const std::string& value) { return RoundToInt32(ReadLeadingNumber(value)); }

}  // namespace rw

// Small helpers of the Linux program that need no X connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rw::lnx {

// At most maxBytes bytes of text, never cut inside a UTF-8 sequence.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// The code point of the UTF-8 character at the start of bytes; -1 when the
// bytes are not one well-formed character.
std::int32_t DecodeUtf8Char(std::string_view bytes);

// The value of LANG= in the text of /etc/default/locale or /etc/locale.conf
// (quotes removed); empty when there is none.
std::string LangFromLocaleFile(std::string_view fileText);

// Windows language id of a locale name such as "de_CH.UTF-8": 1031, 2055,
// 3079 and 1070 for the German locales that get the German interface, 1033
// for everything else.
std::uint16_t LangIdFromLocale(std::string_view locale);

// The system default locale: LANG of /etc/default/locale, else of
// /etc/locale.conf, else LC_ALL, LC_MESSAGES, LANG of the environment.
std::string SystemLocale();

// ":92.0" and ":92" name the same display; the screen part is dropped.
// Characters that cannot stand in a file name become "_".
std::string DisplayKey(std::string_view display);

// Where the single-instance lock of a user on a display lives: in
// runtimeDir when set, else in /tmp.
std::string LockFilePath(const std::string& runtimeDir, unsigned uid, std::string_view display);
// The lock's place in a folder of the user's own that several computers
// may share (a home on a network drive): the computer's name is part of it.
std::string HostLockFilePath(const std::string& dir, std::string_view host, unsigned uid, std::string_view display);


}  // namespace rw::lnx

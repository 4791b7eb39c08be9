// User interface privilege isolation: a program that runs as administrator
// (elevated) ignores posted characters and commands and injected keys that
// come from a program that does not. Replywick can answer such a program's
// dialogs only when it runs elevated itself.
#pragma once

#include "backends/win32/Win32Api.h"

#include <optional>

namespace rw {

// Whether a process runs elevated; nothing when it cannot be told.
std::optional<bool> ProcessElevated(DWORD pid);
// Replywick's own process, asked once.
bool SelfElevated();

// The rule on its own, so that it can be checked without two processes:
// input is refused when the target runs elevated and we do not. A target
// whose token cannot be read is not decided here: a post to it that fails
// with ERROR_ACCESS_DENIED tells.
enum class TokenAnswer { NotElevated, Elevated, AccessDenied, Unknown };
bool InputRefused(bool selfElevated, TokenAnswer target);
TokenAnswer AskProcessToken(DWORD pid);

}  // namespace rw

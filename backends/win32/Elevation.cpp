#include "backends/win32/Elevation.h"

namespace rw {

namespace {

TokenAnswer AskToken(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return GetLastError() == ERROR_ACCESS_DENIED ? TokenAnswer::AccessDenied : TokenAnswer::Unknown;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (!ok) return TokenAnswer::Unknown;
    return elevation.TokenIsElevated ? TokenAnswer::Elevated : TokenAnswer::NotElevated;
}

}  // namespace

TokenAnswer AskProcessToken(DWORD pid) {
    if (pid == 0) return TokenAnswer::Unknown;
    // The least access there is: granted for processes of every level.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return TokenAnswer::Unknown;
    const TokenAnswer answer = AskToken(process);
    CloseHandle(process);
    return answer;
}

std::optional<bool> ProcessElevated(DWORD pid) {
    switch (AskProcessToken(pid)) {
        case TokenAnswer::Elevated:
            return true;
        case TokenAnswer::NotElevated:
            return false;
        default:
            return std::nullopt;
    }
}

bool SelfElevated() {
    static const bool elevated = AskToken(GetCurrentProcess()) == TokenAnswer::Elevated;
    return elevated;
}

bool InputRefused(bool selfElevated, TokenAnswer target) {
    return !selfElevated && target == TokenAnswer::Elevated;
}

}  // namespace rw

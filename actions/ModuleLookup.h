// The executable that owns a window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace rw {

// Full path in the platform's case; empty when unknown; "--" for a window
// of a shared 16-bit machine process whose task could not be identified.
std::string GetWindowModule(WinHandle w);
std::string ResolveVdmModule(const std::string& path, std::uint32_t pid);
std::string GetVdmTaskFile(std::uint32_t pid);

}  // namespace rw

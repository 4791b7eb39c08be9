#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace rw {

namespace {
Platform* gPlatform = nullptr;
}

Platform& Sys() {
    if (gPlatform == nullptr) {
        std::fputs("replywick: no platform backend installed\n", stderr);
        std::abort();
    }
    return *gPlatform;
}

void SetPlatform(Platform* platform) { gPlatform = platform; }

}  // namespace rw

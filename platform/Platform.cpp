#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace rw {

namespace {
const Platform* gPlatform = nullptr;
}

const Platform& Sys() {
    if (gPlatform == nullptr) {
        std::fputs("replywick: no platform backend installed\n", stderr);
        std::abort();
    }
    return *gPlatform;
}

void SetPlatform(const Platform* platform) { gPlatform = platform; }

}  // namespace rw

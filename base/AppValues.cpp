#include "base/AppValues.h"

namespace rw {

AppValues App;

std::string GetVersionText() {
    return std::string(kProductName) + " V" + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor);
}

}  // namespace rw

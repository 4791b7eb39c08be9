#include "app/AppValues.h"

namespace rw {
AppValues App;
}  // namespace rw

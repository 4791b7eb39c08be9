// The facts of "replywick --diagnose" that need no window system: the
// settings file the program would use, found from the same inputs as at
// start-up (the command line's /ini= included).
#pragma once

#include "backends/linux/Diagnosis.h"

namespace rw::lnx {

// Fills settingsPath, settings, items, settingsWritable and seedPath.
void GatherSettingsFacts(int argc, char** argv, DiagnosisFacts& facts);

}  // namespace rw::lnx

// "replywick --diagnose": gathers what Replywick would see on this desktop
// and prints it with a verdict per fact (backends/linux/Diagnosis.h). Opens
// no window, takes no lock and changes nothing.
#pragma once

namespace rw::qtapp {

// True when the command line asks for the diagnosis.
bool WantsDiagnosis(int argc, char** argv);
// Prints the diagnosis on standard output; the exit status.
int RunDiagnosis(int argc, char** argv);

}  // namespace rw::qtapp

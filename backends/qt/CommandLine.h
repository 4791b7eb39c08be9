// The informational options of the Linux program (--help, --version). They
// are answered before anything else, without an X display, so that package
// tools and users on a console get an answer.
#pragma once

#include <cstdio>
#include <string>

namespace rw::qtapp {

// The text printed for --help.
std::string UsageText();
// "Replywick 0.9.73": the program's version record, revision included.
std::string VersionLine();

// Looks for a whole argument "--help" or "--version" (the first one counts).
// Prints the answer to out and returns the exit code (0, or 1 when it could
// not be written); returns -1 when neither is given and the program should
// start as usual.
int HandleInfoOptions(int argc, char** argv, std::FILE* out = stdout);

}  // namespace rw::qtapp

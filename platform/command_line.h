// Linux: the saver's command line as XScreenSaver and other screen lockers
// give it, turned into the Windows command tail the program reads.
#pragma once

#include <string>

// Reads the arguments after the program name. True with the command tail to
// run (Windows forms as they came, XScreenSaver's translated, its options
// set for this run); false with the exit code when the line was answered
// (--help, --version) or refused here, with its one message already written.
bool TranslateCommandLine(int argc, char **argv, std::string *tail, int *exitCode);

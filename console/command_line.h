// The console converter: switches, banner, usage and the three run modes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Runs the console converter on `args` (the program's name first) with the streams given for
// standard input, output and error, and returns the exit status: 0, 1 when a page was not
// converted, -1 after an error that ends the run. The working folder is the process's.
int runConsole(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
               std::FILE* err);
// The same over the process's own arguments and streams.
int runConsole(int argc, char** argv);

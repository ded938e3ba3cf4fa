// The console converter: switches, banner, usage and the three run modes.
#pragma once

// Runs the console converter on its arguments and returns the exit status; errors end the
// process through fatalError with status -1.
int runConsole(int argc, char** argv);

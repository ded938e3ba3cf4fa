#include "command_line.h"

#include "safe_files.h"

int main(int argc, char** argv) {
    // A run stopped by Ctrl-C, a hang-up, a termination or a broken pipe leaves no temporary
    // file behind.
    removeTemporaryFilesOnSignals();
    return runConsole(argc, argv);
}

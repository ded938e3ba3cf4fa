// Quillwin, the desktop program: a list of pages packed into an output folder.
#include "DesktopApp.h"

#include "safe_files.h"

int main(int argc, char** argv)
{
    // A program ended by a signal while writing a page leaves no temporary file beside it.
    removeTemporaryFilesOnSignals();
    DesktopApp app(argc, argv);
    app.initInstance();
    return 0;
}

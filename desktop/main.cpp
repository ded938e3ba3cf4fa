// Quillwin, the desktop program: a list of pages packed into an output folder.
#include "DesktopApp.h"

int main(int argc, char** argv)
{
    DesktopApp app(argc, argv);
    app.initInstance();
    return 0;
}

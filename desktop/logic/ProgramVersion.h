// The program's version, as the build gives it, and the texts that show it.
#pragma once

#include <QString>

// The project's version ("1.0.0"), the same for every program of the project.
QString programVersion();
// The status bar's first part: the name and the version.
QString statusVersionText();
// The Help menu's last, grayed item.
QString helpVersionText();

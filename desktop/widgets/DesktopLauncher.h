// The desktop's way of opening documents and starting programs.
#pragma once

#include "ViewCommands.h"

class DesktopLauncher : public Launcher {
public:
    bool openDocument(const QString& pathOrAddress) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
};

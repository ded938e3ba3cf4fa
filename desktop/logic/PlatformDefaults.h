// Defaults that depend on the platform the program runs on.
#pragma once

#include <QString>

#include <functional>

// Finds a program on the search path; returns its full path, or empty when absent.
using ProgramFinder = std::function<QString(const QString& program)>;

// The output folder offered before the user chooses one: "C:\Temp" on Windows, the system's
// temporary folder elsewhere.
QString defaultOutputFolder();

// Reads an environment variable; empty when it is not set.
using EnvironmentReader = std::function<QString(const char* name)>;

// The editor started on pages before the user names one: "write" on Windows; elsewhere
// $VISUAL, then $EDITOR inside the first terminal emulator found, then the first common desktop
// text editor on the search path, else empty (the Edit commands then say what to install).
QString defaultEditor(const ProgramFinder& findProgram = {},
                      const EnvironmentReader& environment = {});

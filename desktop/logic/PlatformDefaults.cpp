#include "PlatformDefaults.h"

#include <QDir>
#include <QStandardPaths>

QString defaultOutputFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Temp");
#else
    return QDir::toNativeSeparators(QDir::tempPath());
#endif
}

QString defaultEditor(const ProgramFinder& findProgram, const EnvironmentReader& environment)
{
#ifdef Q_OS_WIN
    Q_UNUSED(findProgram);
    Q_UNUSED(environment);
    return QStringLiteral("write");
#else
    const ProgramFinder find = findProgram ? findProgram : [](const QString& program) {
        return QStandardPaths::findExecutable(program);
    };
    const EnvironmentReader read = environment ? environment : [](const char* name) {
        return qEnvironmentVariable(name).trimmed();
    };
    if (const QString visual = read("VISUAL"); !visual.isEmpty())
        return visual;
    // A terminal editor needs a window of its own: each emulator with the switch after which
    // it runs a program with its arguments.
    static const char* const kTerminals[][2] = {
        {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
        {"xfce4-terminal", "-x"}, {"xterm", "-e"}};
    if (const QString editor = read("EDITOR"); !editor.isEmpty()) {
        for (const auto& [terminal, runSwitch] : kTerminals) {
            const QString name = QString::fromLatin1(terminal);
            if (!find(name).isEmpty())
                return name + QLatin1Char(' ') + QLatin1String(runSwitch) + QLatin1Char(' ')
                     + editor;
        }
    }
    // Desktop editors in the order they are tried; the first one installed wins.
    static const char* const kEditors[] = {"gnome-text-editor", "gedit", "kate", "kwrite",
                                           "mousepad", "xed", "pluma"};
    for (const char* editor : kEditors) {
        const QString name = QString::fromLatin1(editor);
        if (!find(name).isEmpty())
            return name;
    }
    return QString();
#endif
}

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

QString defaultEditor(const ProgramFinder& findProgram)
{
#ifdef Q_OS_WIN
    Q_UNUSED(findProgram);
    return QStringLiteral("write");
#else
    // Desktop editors in the order they are tried; the first one installed wins.
    static const char* const kEditors[] = {"gnome-text-editor", "gedit", "kate", "kwrite",
                                           "mousepad", "xed", "pluma"};
    const ProgramFinder find = findProgram ? findProgram : [](const QString& program) {
        return QStandardPaths::findExecutable(program);
    };
    for (const char* editor : kEditors) {
        const QString name = QString::fromLatin1(editor);
        if (!find(name).isEmpty())
            return name;
    }
    return QStringLiteral("xdg-open");
#endif
}

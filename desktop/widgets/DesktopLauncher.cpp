#include "DesktopLauncher.h"

#include "PathRules.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool DesktopLauncher::openDocument(const QString& pathOrAddress)
{
    const QUrl target = isInternetAddress(pathOrAddress)
                          ? QUrl(pathOrAddress)
                          : QUrl::fromLocalFile(QFileInfo(pathOrAddress).absoluteFilePath());
    return QDesktopServices::openUrl(target);
}

bool DesktopLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

#include "ProgramVersion.h"

#include "quillbox_version.h"

QString programVersion()
{
    return QStringLiteral(QUILLBOX_VERSION);
}

QString statusVersionText()
{
    return QStringLiteral("Quillbox ") + programVersion();
}

QString helpVersionText()
{
    return QStringLiteral("Version ") + programVersion();
}

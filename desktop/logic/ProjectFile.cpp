#include "ProjectFile.h"

#include "PathRules.h"

#include <QFile>
#include <QSaveFile>

ProjectReadResult readProjectFile(const QString& path)
{
    ProjectReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (lines.first() != PROJECT_HEADER) {
        result.status = ProjectReadResult::WrongHeader;
        return result;
    }
    for (qsizetype at = 1; at < lines.size(); ++at) {
        if (!lines[at].isEmpty())
            result.entries.append(QString::fromLocal8Bit(lines[at]));
    }
    result.status = ProjectReadResult::Read;
    return result;
}

QString writeProjectFile(const QString& path, const QStringList& entries)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    file.write(QByteArray(PROJECT_HEADER) + '\n');
    for (const QString& entry : entries)
        file.write(entry.toLocal8Bit() + '\n');
    if (!file.commit())
        return file.errorString();
    return QString();
}

QString projectSavePath(const QString& projectPath)
{
    if (projectPath.endsWith(QLatin1String(".qbx")))
        return projectPath;
    return projectPath + QLatin1String(".qbx");
}

QString projectTitle(const QString& projectPath)
{
    if (projectPath.isEmpty())
        return QStringLiteral("Quillbox");
    return QStringLiteral("Quillbox [") + fileNameOf(projectPath) + QLatin1Char(']');
}

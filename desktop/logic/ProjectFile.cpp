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
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    result.status = ProjectReadResult::Damaged;
    if (bytes.isEmpty()) {
        result.error = QStringLiteral("the file is empty");
        return result;
    }
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (lines.first() != PROJECT_HEADER) {
        result.error = QStringLiteral("its first line is not \"%1\"")
                           .arg(QString::fromLatin1(PROJECT_HEADER));
        return result;
    }
    QStringList entries;
    for (qsizetype at = 1; at < lines.size(); ++at) {
        if (lines[at].contains('\0')) {
            result.error = QStringLiteral("line %1 holds binary data").arg(at + 1);
            return result;
        }
        if (!lines[at].isEmpty())
            entries.append(QString::fromLocal8Bit(lines[at]));
    }
    result.status = ProjectReadResult::Read;
    result.entries = entries;
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

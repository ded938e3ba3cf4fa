#include "InternetOutputName.h"

#include "PathRules.h"

QString addressWithScheme(const QString& address)
{
    return isInternetAddress(address) ? address : QStringLiteral("http://") + address;
}

QString internetOutputName(const QString& address)
{
    // Skips the first "/" and the character after it: "http://host/x" leaves "host/x".
    const qsizetype slash = address.indexOf(QLatin1Char('/'));
    QString name = slash < 0 ? address : address.mid(slash + 2);

    // ".HTM" stays a name to complete, while ".HTML" in any case is taken as it is.
    if (!name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
        && !name.endsWith(QLatin1String(".htm"), Qt::CaseSensitive))
        name += QLatin1String(".html");

    name.replace(QLatin1Char('/'), QLatin1Char('%'));
    name.replace(QLatin1Char('\\'), QLatin1Char('%'));
    name.replace(QLatin1Char('?'), QLatin1Char('_'));
    return name;
}

QString internetOutputPath(const QString& outputDirectory, const QString& address)
{
    if (outputDirectory.isEmpty())
        return internetOutputName(address);
    QString path = outputDirectory;
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\')))
        path += QLatin1Char('/');
    return path + internetOutputName(address);
}

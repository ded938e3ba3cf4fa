#include "PathRules.h"

#include <algorithm>

bool isInternetAddress(const QString& text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QString shortenedPath(const QString& path)
{
    constexpr int kShownCharacters = 35;
    if (path.size() <= kShownCharacters)
        return path;
    return path.left(kShownCharacters) + QLatin1String("...");
}

QString fileNameOf(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')),
                                   path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

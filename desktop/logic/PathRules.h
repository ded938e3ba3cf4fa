// Rules on the texts of the page list: internet addresses and shortened paths.
#pragma once

#include <QString>

// True when `text` begins with "http://" or "https://", letter case ignored; every other
// text is a local path.
bool isInternetAddress(const QString& text);

// The path as the folder chooser's status line shows it: its first 35 characters and "..."
// when it is longer than 35 characters, otherwise the path itself.
QString shortenedPath(const QString& path);

// The part of `path` after its last separator ("/" or "\"), or the whole path.
QString fileNameOf(const QString& path);

// Names for internet rows: the address as the user confirmed it, and the file an address
// packs into.
#pragma once

#include <QString>

// Puts "http://" in front of `address` unless it already begins with "http://" or "https://"
// (letter case ignored); an address with another scheme gets it too.
QString addressWithScheme(const QString& address);

// Output file name of an internet address: the text after the scheme's "//", with ".html"
// appended unless it ends in ".html" (any letter case) or ".htm" (exactly), every "/" and "\"
// turned into "%" and every "?" into "_". "http://host/dir/page" gives "host%dir%page.html".
QString internetOutputName(const QString& address);

// The output path of `address` in `outputDirectory`.
QString internetOutputPath(const QString& outputDirectory, const QString& address);

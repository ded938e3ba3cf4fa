// Downloads an internet page into memory for the packing run.
//
// The download follows the system's proxy settings, speaks HTTP and HTTPS, and keeps at most
// `limit` bytes of the page: it reads until that many bytes arrived or the page ended, whichever
// comes first. A transfer that makes no progress for `noProgressTimeoutMs` is given up. The text
// ends at its first zero byte, as every page text of the engine does.
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// A download that failed: no session, a bad address, a network or HTTP error, or a time-out.
class FetchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FetchOptions {
    qsizetype limit = 60000;          // bytes of page text kept at most
    int noProgressTimeoutMs = 30000;  // gives up after this long without a byte arriving
    QString userAgent = QStringLiteral("Quillwin");
};

// Returns the page at `address` (at most options.limit bytes, cut at the first zero byte).
// Throws FetchError on any failure. Needs a QCoreApplication; runs a local event loop that
// leaves user input queued until the download ends, and refuses to be re-entered.
QByteArray fetchPage(const QString& address, const FetchOptions& options = {});

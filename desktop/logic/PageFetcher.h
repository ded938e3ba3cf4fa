// Downloads an internet page into memory for the packing run.
//
// The download follows the system's proxy settings, speaks HTTP and HTTPS, and reads the page
// to its end. A page larger than `limit` bytes fails rather than being cut, and a transfer that
// makes no progress for `noProgressTimeoutMs` is given up.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <stdexcept>

// A download that failed: no session, a bad address, a network or HTTP error, a time-out or
// a page above the limit. The text says why in a few words.
class FetchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A download given up because the user stopped the run; nothing of the page is kept.
class FetchStopped : public FetchError {
public:
    FetchStopped() : FetchError("stopped") {}
};

struct FetchOptions {
    qsizetype limit = qsizetype(64) << 20;  // bytes a page may hold at most (64 MB)
    int noProgressTimeoutMs = 30000;  // gives up after this long without a byte arriving
    QString userAgent = QStringLiteral("Quillwin");
    // Set by another thread to give the download up; looked at every 50 ms.
    const std::atomic<bool>* stop = nullptr;
};

// Returns the whole page at `address`. Throws FetchError on any failure, "page is larger
// than 64 MB" for a page above the limit, FetchStopped once `options.stop` turns true. Needs a
// QCoreApplication; runs a local event loop on the calling thread, which the packing run keeps
// off the window's thread, and refuses to be re-entered on one thread.
QByteArray fetchPage(const QString& address, const FetchOptions& options = {});

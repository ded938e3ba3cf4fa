// One internet row of a packing run: download the page, then pack it into the output folder.
#pragma once

#include "PageFetcher.h"

#include <QString>

struct Engine;

struct InternetPackOutcome {
    long result = -1;        // packBest's result: bytes written, 0 or -1 on failure
    QString outputPath;      // where the page went, with every "?" turned into "_"
    qint64 originalSize = 0; // bytes of page text downloaded
    QString error;           // why the page was not packed; empty otherwise
    bool stopped = false;    // the run was stopped during the download: nothing was written
};

struct PageReport;

// Why the engine did not pack a page, in the words of a row's error: "cannot read page:
// <reason>", "cannot write <outputPath>: <reason>", "page holds zero bytes", ...
QString pageFailureReason(const PageReport& report, const QString& outputPath);

// Downloads `address` and packs it with `methodFlags` into `outputDirectory`, under the name
// internetOutputName gives. Sets removeMeta and keepComments from the flags first, as
// convertFile does for a local page. A failed download or lack of memory comes back as a
// result of -1; the output is replaced without a question. `error` says why a page failed.
InternetPackOutcome packInternetPage(Engine& engine, const QString& address,
                                     const QString& outputDirectory, int methodFlags,
                                     const FetchOptions& fetchOptions = {});

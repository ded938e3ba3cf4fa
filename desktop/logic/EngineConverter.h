// The compaction engine as the desktop program uses it: one engine for each worker of a
// packing run, silent, converting one page at a time.
#pragma once

#include "PackRun.h"

#include <atomic>
#include <memory>

struct Engine;

class EngineConverter {
public:
    EngineConverter();
    ~EngineConverter();

    // Sets the two numbers, then converts the page; the output path receives the engine's
    // "?" replacement.
    long convert(ConvertRequest& request);
    // Sets the two numbers, then downloads the page at `address` and packs it into
    // `outputFolder`.
    InternetPackResult packInternet(const QString& address, const QString& outputFolder,
                                    int flags, int outputChunk, int codeCharLimit,
                                    const QString& served = QStringLiteral("raw"));

    // A download in progress gives up once `stop` turns true.
    void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

    Engine& engine() { return *engine_; }

private:
    std::unique_ptr<Engine> engine_;
    const std::atomic<bool>* stop_ = nullptr;
};

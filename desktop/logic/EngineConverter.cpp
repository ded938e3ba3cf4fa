#include "EngineConverter.h"

#include "InternetPagePacker.h"
#include "engine.h"

#include <QFile>

EngineConverter::EngineConverter() : engine_(std::make_unique<Engine>())
{
    // The desktop program shows its own results; the engine's dots and lines go nowhere.
    engine_->console = nullptr;
}

EngineConverter::~EngineConverter() = default;

long EngineConverter::convert(ConvertRequest& request)
{
    setOutputChunk(*engine_, request.outputChunk);
    setCodeCharLimit(*engine_, request.codeCharLimit);
    engine_->options.served = parseServed(request.served.toStdString()).value_or(Served::Raw);
    const QByteArray input = QFile::encodeName(request.input);
    std::string output = QFile::encodeName(request.output).toStdString();
    const long result = convertFile(*engine_, input.constData(), &output, request.bound,
                                    request.flags);
    request.output = QFile::decodeName(QByteArray::fromStdString(output));
    if (result < 1)
        request.failure = pageFailureReason(engine_->lastPage, request.output);
    request.servedInput = qint64(engine_->lastPage.sizes.servedInput);
    request.servedOutput = qint64(engine_->lastPage.sizes.servedOutput);
    return result;
}

InternetPackResult EngineConverter::packInternet(const QString& address,
                                                 const QString& outputFolder, int flags,
                                                 int outputChunk, int codeCharLimit,
                                                 const QString& served)
{
    setOutputChunk(*engine_, outputChunk);
    setCodeCharLimit(*engine_, codeCharLimit);
    engine_->options.served = parseServed(served.toStdString()).value_or(Served::Raw);
    FetchOptions fetchOptions;
    fetchOptions.stop = stop_;
    const InternetPackOutcome outcome =
        packInternetPage(*engine_, address, outputFolder, flags, fetchOptions);
    return {outcome.result, outcome.outputPath, outcome.originalSize, outcome.error,
            outcome.stopped, qint64(engine_->lastPage.sizes.servedInput),
            qint64(engine_->lastPage.sizes.servedOutput)};
}

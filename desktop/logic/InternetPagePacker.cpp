#include "InternetPagePacker.h"

#include "InternetOutputName.h"
#include "engine.h"

#include <QDir>
#include <QFile>

#include <new>
#include <string>

QString pageFailureReason(const PageReport& report, const QString& outputPath)
{
    const QString reason = QString::fromLocal8Bit(report.reason);
    const auto withReason = [&](QString text) {
        return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
    };
    switch (report.outcome) {
    case PageOutcome::NotRead:
        return withReason(QStringLiteral("cannot read page"));
    case PageOutcome::NotWritten:
        return withReason(QStringLiteral("cannot write ") + QDir::toNativeSeparators(outputPath));
    case PageOutcome::HoldsZeroBytes:
        return QStringLiteral("page holds zero bytes");
    case PageOutcome::Converted:
    case PageOutcome::AlreadyPacked:
        return QStringLiteral("page was not packed");
    default:
        return QStringLiteral("page ") + QString::fromStdString(describeFailure(report));
    }
}

InternetPackOutcome packInternetPage(Engine& engine, const QString& address,
                                     const QString& outputDirectory, int methodFlags,
                                     const FetchOptions& fetchOptions)
{
    InternetPackOutcome outcome;
    outcome.outputPath = internetOutputPath(outputDirectory, address);
    // The engine writes the name as the file system spells it.
    std::string outputName = QFile::encodeName(outcome.outputPath).toStdString();
    try {
        const QByteArray downloaded = fetchPage(address, fetchOptions);
        outcome.originalSize = downloaded.size();
        // Nothing to pack: an existing output of that name is left as it is.
        if (downloaded.isEmpty()) {
            outcome.error = QStringLiteral("page holds zero bytes");
            return outcome;
        }
        std::string page(downloaded.constData(), size_t(downloaded.size()));

        engine.options.removeMeta = (methodFlags & FLAG_NO_META) ? 1 : 0;
        engine.options.keepComments = (methodFlags & FLAG_NO_COMMENTS) ? 0 : 1;
        outcome.result = packBest(engine, page, &outputName, long(page.size()), methodFlags);
        outcome.outputPath = QFile::decodeName(QByteArray::fromStdString(outputName));
        if (outcome.result < 1)
            outcome.error = pageFailureReason(engine.lastPage, outcome.outputPath);
    } catch (const FetchStopped& stop) {
        outcome.stopped = true;
        outcome.error = QString::fromStdString(stop.what());
    } catch (const FetchError& failure) {
        outcome.result = -1;
        outcome.error = QString::fromStdString(failure.what());
    } catch (const std::bad_alloc&) {
        outcome.result = -1;
        outcome.error = QStringLiteral("Not enough memory");
    }
    return outcome;
}

#include "PackRun.h"

#include "Asker.h"
#include "InternetOutputName.h"
#include "PageListModel.h"
#include "PathRules.h"
#include "engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdlib>

namespace {

QString joinPath(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}

} // namespace

int methodFlags(int packMethod, int noMeta, int noComments)
{
    int flags = (4 - packMethod) & 3;
    if (noMeta)
        flags |= 4;   // FLAG_NO_META
    if (noComments)
        flags |= 8;   // FLAG_NO_COMMENTS
    return flags;
}

QString ratioText(qint64 original, qint64 packed)
{
    const qint64 saving =
        original == 0 ? 0 : static_cast<qint64>(100.0 - packed * 100.0 / original);
    return QStringLiteral("%1%").arg(saving);
}

QString runRatioText(const RunTotals& totals)
{
    if (totals.original == 0)
        return QString();
    return QStringLiteral("Ratio : %1%").arg(100 - totals.packed * 100 / totals.original);
}

QString runOriginalText(const RunTotals& totals)
{
    return QStringLiteral("Original : %1").arg(totals.original);
}

QString runPackedText(const RunTotals& totals)
{
    return QStringLiteral("Packed : %1").arg(totals.packed);
}

PackRun::PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
                 LocalConverter convert, InternetPacker packInternet)
    : settings_(settings), pages_(pages), asker_(asker), convert_(std::move(convert)),
      packInternet_(std::move(packInternet))
{
}

QString PackRun::localOutputPath(int row) const
{
    // A page from an imported tree keeps its place in the tree under the output folder; any
    // other page goes into the output folder itself.
    const PageRow& page = pages_.pageRow(row);
    const QString source = page.texts[COLUMN_FILE_NAME];
    const QString name = page.importedFrom.isEmpty()
        ? fileNameOf(source)
        : QDir(page.importedFrom).relativeFilePath(QDir::fromNativeSeparators(source));
    // The converter writes every "?" of the output path as "_"; the path asked about and
    // shown must be the file it really writes.
    QString path = joinPath(settings_.directories.outputFolder, name);
    path.replace(QLatin1Char('?'), QLatin1Char('_'));
    return path;
}

int PackRun::rowThatWrote(const QString& outputPath) const
{
    return written_.value(sameFileKey(outputPath), -1);
}

void PackRun::failRow(int row, const QString& outputPath, const QString& reason, int image)
{
    pages_.setText(row, COLUMN_OUTPUT_NAME,
                   QString::fromLatin1(ROW_ERROR_TEXT) + outputPath + QStringLiteral(" : ")
                       + (reason.isEmpty() ? QStringLiteral("page was not packed") : reason));
    pages_.setImage(row, image);
}

PackRun::RowResult PackRun::confirmOverwrite(const QString& outputPath, bool& askFlag)
{
    if (!askFlag || !QFileInfo::exists(outputPath))
        return ROW_PROCESSED;
    const Asker::Answer answer =
        asker_.ask(questionParent, QStringLiteral("Warning"),
                   QStringLiteral("Overwrite file ") + outputPath + QStringLiteral(" ?"),
                   Asker::Buttons::YesNoCancel, Asker::Icon::Warning);
    if (answer == Asker::Answer::No)
        return ROW_DECLINED;
    if (answer != Asker::Answer::Yes)
        return ROW_CANCELLED;
    // After the second confirmed overwrite of a run, and only then, offer to stop asking.
    if (overwriteCount_ == 1) {
        const Asker::Answer all =
            asker_.ask(questionParent, QStringLiteral("Warning"),
                       QStringLiteral("Do you want to overwrite all further files "),
                       Asker::Buttons::YesNo, Asker::Icon::Warning);
        if (all == Asker::Answer::Yes)
            askFlag = false;
    }
    ++overwriteCount_;
    return ROW_PROCESSED;
}

PackRun::RowResult PackRun::packRow(int row, bool& askFlag, RunTotals& totals)
{
    const CompressionSettings& compression = settings_.compression;
    const int flags =
        methodFlags(settings_.packMethod, compression.noMeta, compression.noComments);
    const int outputChunk = static_cast<int>(compression.decompOutputSize);
    const QString source = pages_.text(row, COLUMN_FILE_NAME);
    QThread::yieldCurrentThread();

    long result = -1;
    qint64 originalSize = 0;
    QString outputPath;
    QString failure;
    int outcomeImage = IMAGE_INTERNET_PACKED;
    // A second row aiming at a file this run already wrote is not packed: it would replace
    // the earlier row's page.
    const auto writtenBefore = [&](const QString& path) {
        const int earlier = rowThatWrote(path);
        if (earlier >= 0) {
            failure = QStringLiteral("already written by row %1, %2")
                          .arg(earlier + 1)
                          .arg(pages_.text(earlier, COLUMN_FILE_NAME));
        }
        return earlier >= 0;
    };
    if (isInternetAddress(source)) {
        outputPath = internetOutputPath(settings_.directories.outputFolder, source);
        if (!writtenBefore(outputPath) && packInternet_) {
            const InternetPackResult packed =
                packInternet_(source, settings_.directories.outputFolder, flags, outputChunk,
                              compression.maxTokens);
            result = packed.result;
            outputPath = packed.outputPath;
            originalSize = packed.originalSize;
            failure = packed.failure;
        }
        if (result < 1 && showProgress)
            showProgress(0);
    } else {
        const QFileInfo page(source);
        originalSize = page.size();
        outputPath = localOutputPath(row);
        // An empty page fails before anything is asked or written: an existing output of that
        // name keeps its bytes.
        if (page.isFile() && originalSize == 0) {
            failure = QStringLiteral("page holds zero bytes");
        } else if (!writtenBefore(outputPath)) {
            const RowResult confirmed = confirmOverwrite(outputPath, askFlag);
            if (confirmed != ROW_PROCESSED)
                return confirmed;
            // The folders of a page from an imported tree are made as it is written, inside an
            // output folder that exists.
            const QString outputFolder = QFileInfo(outputPath).path();
            if (QFileInfo(settings_.directories.outputFolder).isDir())
                QDir().mkpath(outputFolder);
            // The page is read whole, whatever its size.
            ConvertRequest request{source, outputPath, NO_BOUND, flags, outputChunk,
                                   compression.maxTokens, {}};
            result = convert_(request);
            outputPath = request.output;
            failure = request.failure;
        }
        // Within a byte of the original: the page was already packed and only copied. A page
        // that failed shows the failure cross whatever its size.
        outcomeImage = result >= 1 && std::abs(result - originalSize) < 2 ? IMAGE_LOCAL_UNCHANGED
                                                                          : IMAGE_LOCAL_PACKED;
    }

    if (result < 1) {
        failRow(row, outputPath, failure, outcomeImage + 2);
        return ROW_PROCESSED;
    }
    written_.insert(sameFileKey(outputPath), row);
    if (showProgress)
        showProgress((row + 1) * 100 / pages_.rowCount());
    const qint64 packedSize = QFileInfo(outputPath).size();
    pages_.setText(row, COLUMN_ORIGINAL_SIZE, QString::number(originalSize));
    pages_.setText(row, COLUMN_OUTPUT_NAME, outputPath);
    pages_.setText(row, COLUMN_RATIO, ratioText(originalSize, packedSize));
    pages_.setText(row, COLUMN_PACKED_SIZE, QString::number(packedSize));
    pages_.setImage(row, outcomeImage);
    totals.original += originalSize;
    totals.packed += packedSize;
    return ROW_PROCESSED;
}

void PackRun::packAll(RunTotals& totals, const QString& reportPath)
{
    totals = RunTotals();
    QFile report(reportPath.isEmpty()
                     ? joinPath(settings_.directories.outputFolder,
                                QString::fromLatin1(RUN_REPORT_FILE))
                     : reportPath);
    const bool reportOpen = report.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    if (!reportOpen) {
        asker_.ask(questionParent, QStringLiteral("Warning"),
                   QStringLiteral("The run report %1 could not be written: %2")
                       .arg(QDir::toNativeSeparators(QFileInfo(reportPath).absoluteFilePath()),
                            report.errorString()),
                   Asker::Buttons::Ok, Asker::Icon::Warning);
    }
    overwriteCount_ = 0;
    written_.clear();
    bool askFlag = settings_.directories.overwriteWarning != 0;
    for (int row = 0; row < pages_.rowCount(); ++row) {
        const RowResult result = packRow(row, askFlag, totals);
        if (result == ROW_DECLINED)
            continue;
        if (result == ROW_CANCELLED)
            break;
        if (showRow)
            showRow(row, totals);
        if (reportOpen) {
            QStringList columns;
            for (int column = COLUMN_FILE_NAME; column <= COLUMN_PACKED_SIZE; ++column)
                columns.append(pages_.text(row, column));
            report.write(columns.join(QLatin1Char(' ')).toLocal8Bit() + '\n');
        }
    }
    report.close();
    if (showProgress)
        showProgress(0);
}

void PackRun::packSelected(int row, RunTotals& totals)
{
    if (row >= 0) {
        overwriteCount_ = 0;
        written_.clear();
        bool askFlag = settings_.directories.overwriteWarning != 0;
        packRow(row, askFlag, totals);
    }
    if (showProgress)
        showProgress(0);
}

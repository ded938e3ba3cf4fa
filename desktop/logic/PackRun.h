// The packing run: packs the rows of the page list one by one into the output folder, fills
// each row's columns and image, keeps the run totals and writes the run report.
//
// The converter is handed in, so the run is tested without the engine; the window only shows
// progress and totals through the hooks.
#pragma once

#include "AppSettings.h"

#include <QHash>
#include <QString>

#include <functional>

class Asker;
class PageListModel;
class QWidget;

// Name of the run report written into the output folder by every full run.
inline constexpr char RUN_REPORT_FILE[] = "quillboxfilelist.txt";
// Output Name text of a row that failed, followed by the output path, " : " and why.
inline constexpr char ROW_ERROR_TEXT[] = "*Error opening/writing file : ";

// The engine's method flags for the settings: 4 - packMethod, plus the stripping flags.
int methodFlags(int packMethod, int noMeta, int noComments);

// One local page for the converter.
struct ConvertRequest {
    QString input;
    QString output;       // the converter puts "_" for every "?" here before it writes
    long bound = 0;       // the file's size
    int flags = 0;
    int outputChunk = 0;  // DecompOutputSize
    int codeCharLimit = 0;  // MaxTokens
    QString failure;        // why the page was not packed, set by the converter on failure
};
// Converts one local page; returns the bytes written, 0 or -1 on failure.
using LocalConverter = std::function<long(ConvertRequest& request)>;

// One internet page: downloaded and packed into the output folder.
struct InternetPackResult {
    long result = -1;
    QString outputPath;
    qint64 originalSize = 0;
    QString failure;  // why the page was not packed, on failure
};
using InternetPacker = std::function<InternetPackResult(
    const QString& address, const QString& outputFolder, int flags, int outputChunk,
    int codeCharLimit)>;

// Bytes before and after packing over a run.
struct RunTotals {
    qint64 original = 0;
    qint64 packed = 0;
};

// "%i%%" of the saving: 100 - packed * 100 / original, truncated toward zero; 0 for an
// empty original.
QString ratioText(qint64 original, qint64 packed);
// The status bar texts of the totals: "Ratio : %i%%" (empty while nothing was packed),
// "Original : %ld", "Packed : %ld".
QString runRatioText(const RunTotals& totals);
QString runOriginalText(const RunTotals& totals);
QString runPackedText(const RunTotals& totals);

class PackRun {
public:
    enum RowResult { ROW_PROCESSED = 0, ROW_DECLINED = 1, ROW_CANCELLED = -1 };

    PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
            LocalConverter convert, InternetPacker packInternet = {});

    // Window for the questions; may stay null.
    QWidget* questionParent = nullptr;
    // Progress bar position, 0 to 100.
    std::function<void(int percent)> showProgress;
    // A row of a full run was processed: scroll to it and show `totals`.
    std::function<void(int row, const RunTotals& totals)> showRow;

    // Packs every row; the totals start at 0. The report goes to `reportPath`, by default
    // RUN_REPORT_FILE in the output folder; when it cannot be written the run goes on and one
    // warning says so.
    void packAll(RunTotals& totals, const QString& reportPath = QString());
    // Packs `row` alone, adding to the totals.
    void packSelected(int row, RunTotals& totals);
    // Packs one row; asks before overwriting while `askFlag` is set, which the user may clear
    // for the rest of the run.
    RowResult packRow(int row, bool& askFlag, RunTotals& totals);

private:
    // The output path of a local row: the output folder and the page's file name, or its path
    // inside the tree it was imported from, with "_" for every "?" as the converter writes it.
    QString localOutputPath(int row) const;
    // The row of this run that wrote `outputPath`, or -1.
    int rowThatWrote(const QString& outputPath) const;
    // Shows the row's failure: the error text, the output path and why.
    void failRow(int row, const QString& outputPath, const QString& reason, int image);
    // Asks before replacing `outputPath`; ROW_PROCESSED when the row may go on.
    RowResult confirmOverwrite(const QString& outputPath, bool& askFlag);

    const AppSettings& settings_;
    PageListModel& pages_;
    Asker& asker_;
    LocalConverter convert_;
    InternetPacker packInternet_;
    int overwriteCount_ = 0;  // confirmed overwrites in this run
    QHash<QString, int> written_;  // the files this run wrote (sameFileKey) and their rows
};

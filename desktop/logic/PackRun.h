// The packing run: packs the rows of the page list one by one into the output folder, fills
// each row's columns and image, keeps the run totals and writes the run report.
//
// The converter is handed in, so the run is tested without the engine; the window only shows
// progress and totals through the hooks.
#pragma once

#include "AppSettings.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

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
    QString served = QStringLiteral("raw");  // the compression the method is chosen by
    // Set by the converter: the page and its output after that compression.
    qint64 servedInput = 0;
    qint64 servedOutput = 0;
};
// Converts one local page; returns the bytes written, 0 or -1 on failure.
using LocalConverter = std::function<long(ConvertRequest& request)>;

// One internet page: downloaded and packed into the output folder.
struct InternetPackResult {
    long result = -1;
    QString outputPath;
    qint64 originalSize = 0;
    QString failure;       // why the page was not packed, on failure
    bool stopped = false;  // the run was stopped during the download: nothing was written
    qint64 servedInput = 0;   // the page and its output after the compression chosen by
    qint64 servedOutput = 0;
};
// `served`: the compression the method is chosen by, as ConvertRequest::served.
using InternetPacker = std::function<InternetPackResult(
    const QString& address, const QString& outputFolder, int flags, int outputChunk,
    int codeCharLimit, const QString& served)>;

// What one worker of a run packs with.
struct PagePackers {
    LocalConverter convert;
    InternetPacker packInternet;
};
// Makes the packers of one worker, on that worker's thread, so that no two workers share an
// engine. `stopping` turns true when the user stops the run: a download then gives up.
using PackersFactory = std::function<PagePackers(const std::atomic<bool>& stopping)>;
// Packers for every worker that call these same functions, one call at a time.
PackersFactory oneCallAtATime(LocalConverter convert, InternetPacker packInternet = {});

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

// A run packs its rows on worker threads, one engine each, while the window goes on. The
// questions (overwrite, report) are asked first, on the window's thread; then the rows are
// packed in parallel and each row, the progress and the totals are shown as its page finishes,
// on the window's thread. Two rows aiming at one output file are packed one after the other:
// once one has written the file the later ones are refused.
class PackRun {
public:
    enum RowResult { ROW_PROCESSED = 0, ROW_DECLINED = 1, ROW_CANCELLED = -1 };

    PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
            PackersFactory makePackers);
    // Every worker calls these same functions, one call at a time (oneCallAtATime).
    PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
            LocalConverter convert, InternetPacker packInternet = {});
    // Stops the run and waits for the pages in progress.
    ~PackRun();
    PackRun(PackRun&&) noexcept;
    PackRun& operator=(PackRun&&) noexcept;

    // Workers packing at once; 0 is one for each processor.
    int workers = 0;
    // Window for the questions; may stay null.
    QWidget* questionParent = nullptr;
    // Progress bar position, 0 to 100.
    std::function<void(int percent)> showProgress;
    // A row of a full run was processed: scroll to it and show `totals`.
    std::function<void(int row, const RunTotals& totals)> showRow;
    // The run has ended, by itself or stopped; called once per start.
    std::function<void()> finished;

    // Starts packing every row, the totals from 0. The questions come first; the run then goes
    // on after this returns. The report goes to `reportPath`, by default RUN_REPORT_FILE in the
    // output folder, and is written when the run ends; when it cannot be written the run goes
    // on and one warning says so.
    void startAll(const QString& reportPath = QString());
    // Starts packing `row` alone, adding to `totals`.
    void startSelected(int row, const RunTotals& totals);
    // Packs no further page; those in progress finish, a download in progress is given up.
    void stop();
    bool isRunning() const;
    // Whether the last run was stopped before its end.
    bool wasStopped() const;
    // Waits for the run to end, handling the thread's events meanwhile.
    void waitForEnd();
    // The totals of the run so far.
    const RunTotals& totals() const;

    // Packs every row and waits for the end; `totals` start at 0.
    void packAll(RunTotals& totals, const QString& reportPath = QString());
    // Packs `row` alone and waits for the end, adding to the totals.
    void packSelected(int row, RunTotals& totals);

private:
    struct State;
    std::unique_ptr<State> state_;
};

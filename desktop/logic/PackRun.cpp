#include "PackRun.h"

#include "Asker.h"
#include "InternetOutputName.h"
#include "PageListModel.h"
#include "PathRules.h"
#include "engine.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QThread>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace {

QString joinPath(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}

} // namespace

namespace packing {

// One row to pack, taken from the list before the run starts: workers never read the list.
struct PackJob {
    int row = 0;
    bool internet = false;
    QString source;
    QString outputPath;
    qint64 originalSize = 0;
};

// What became of one row.
struct RowOutcome {
    int row = 0;
    long result = -1;
    QString outputPath;
    qint64 originalSize = 0;
    qint64 packedSize = 0;
    QString failure;
    int image = IMAGE_LOCAL_PACKED;
    bool stopped = false;  // given up unfinished: the row stays as it was
    qint64 servedInput = 0;  // both after the compression the method was chosen by
    qint64 servedOutput = 0;
};

// The rows of a run in order, grouped by output file. The first row of each group may start
// at any time; a later row of a group waits for the one before it, and is refused once one of
// them has written the file.
class JobQueue {
public:
    struct Taken {
        size_t group = 0;
        PackJob job;
    };

    bool claimed(const QString& outputKey) const { return groupOf_.contains(outputKey); }
    size_t size() const { return jobs_; }

    void add(const PackJob& job, const QString& outputKey)
    {
        const auto found = groupOf_.constFind(outputKey);
        if (found != groupOf_.constEnd()) {
            groups_[*found].jobs.push_back(job);
        } else {
            groupOf_.insert(outputKey, groups_.size());
            groups_.push_back(Group{{job}, 0});
        }
        ++jobs_;
    }

    // The next row to pack, waiting while the only rows left wait for another's outcome;
    // nothing once every row was taken or the run was stopped.
    std::optional<Taken> take()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] {
            return stopped_ || !released_.empty() || nextGroup_ < groups_.size() || waiting_ == 0;
        });
        if (stopped_)
            return std::nullopt;
        size_t group = 0;
        if (!released_.empty()) {
            group = released_.front();
            released_.pop_front();
        } else if (nextGroup_ < groups_.size()) {
            group = nextGroup_++;
            if (groups_[group].jobs.size() > 1)
                ++waiting_;
        } else {
            return std::nullopt;
        }
        Group& taken = groups_[group];
        const PackJob& job = taken.jobs[taken.next++];
        if (taken.jobs.size() > 1 && taken.next == taken.jobs.size())
            --waiting_;
        return Taken{group, job};
    }

    // A row of `group` has ended, having written its file or not. Returns the rows refused
    // because the file is written; after a failure the next row of the group may start.
    std::vector<PackJob> finish(size_t group, bool wrote)
    {
        std::vector<PackJob> refused;
        {
            const std::lock_guard lock(mutex_);
            Group& ended = groups_[group];
            if (ended.next == ended.jobs.size() || stopped_)
                return refused;
            if (wrote) {
                refused.assign(ended.jobs.begin() + std::ptrdiff_t(ended.next), ended.jobs.end());
                ended.next = ended.jobs.size();
                --waiting_;
            } else {
                released_.push_back(group);
            }
        }
        changed_.notify_all();
        return refused;
    }

    void stop()
    {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }

private:
    struct Group {
        std::vector<PackJob> jobs;
        size_t next = 0;  // the next row to start
    };

    // Filled before the workers start, read under the lock afterwards.
    std::vector<Group> groups_;
    QHash<QString, size_t> groupOf_;
    size_t jobs_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextGroup_ = 0;
    std::deque<size_t> released_;  // groups whose next row may start
    size_t waiting_ = 0;           // groups with rows waiting for the outcome of a row
    bool stopped_ = false;
};

} // namespace packing

using packing::JobQueue;
using packing::PackJob;
using packing::RowOutcome;

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

struct PackRun::State {
    State(const AppSettings& settings, PageListModel& pages, Asker& asker,
          PackersFactory makePackers)
        : settingsSource(settings), pages(pages), asker(asker), makePackers(std::move(makePackers))
    {
    }
    ~State() { joinWorkers(); }

    // Everything a start needs, taken from the run's fields and settings.
    void begin(const PackRun& run, const RunTotals& startTotals, int rows, bool fullRun);
    QString localOutputPath(int row) const;
    RowResult confirmOverwrite(const QString& outputPath, bool& askFlag);
    // Takes `row` into the run: asks about its output, and queues it or shows its failure.
    RowResult plan(int row, bool& askFlag);
    // Starts the workers, or ends at once when nothing is queued.
    void launch();

    // On a worker's thread.
    void work();
    RowOutcome packOne(PagePackers& packers, const PackJob& job) const;
    void post(const RowOutcome& outcome);

    // On the window's thread.
    void apply(const RowOutcome& outcome);
    void failRow(int row, const QString& outputPath, const QString& reason, int image);
    void workerEnded();
    void end();
    void joinWorkers();
    void stop();

    const AppSettings& settingsSource;
    PageListModel& pages;
    Asker& asker;
    PackersFactory makePackers;

    // The run's copy of what it was started with.
    AppSettings settings;
    QWidget* questionParent = nullptr;
    std::function<void(int)> showProgress;
    std::function<void(int, const RunTotals&)> showRow;
    std::function<void()> finished;
    int workerCount = 0;
    int flags = 0;
    bool fullRun = false;
    int rows = 0;  // rows the progress counts

    std::optional<JobQueue> queue;
    std::atomic<bool> stopping{false};
    std::vector<QThread*> threads;
    int workersEnded = 0;
    QObject receiver;  // outcomes reach the window's thread through it

    bool running = false;
    bool stopped = false;
    int overwriteCount = 0;
    int rowsDone = 0;
    RunTotals totals;
    QFile report;
    bool reportOpen = false;
    QMap<int, QByteArray> reportLines;
    QEventLoop* endLoop = nullptr;
};

void PackRun::State::begin(const PackRun& run, const RunTotals& startTotals, int rowCount,
                           bool full)
{
    settings = settingsSource;
    questionParent = run.questionParent;
    showProgress = run.showProgress;
    showRow = run.showRow;
    finished = run.finished;
    workerCount = run.workers > 0 ? run.workers : QThread::idealThreadCount();
    const CompressionSettings& compression = settings.compression;
    flags = methodFlags(settings.packMethod, compression.noMeta, compression.noComments);
    fullRun = full;
    rows = rowCount;
    queue.emplace();
    stopping = false;
    workersEnded = 0;
    running = true;
    stopped = false;
    overwriteCount = 0;
    rowsDone = 0;
    totals = startTotals;
    reportOpen = false;
    reportLines.clear();
    // "Create new directories" makes a missing output folder (and its parents) before anything
    // is written there; without it such a run fails its rows.
    const QString output = settings.directories.outputFolder;
    if (settings.directories.createDirectories != 0 && !output.isEmpty()
        && !QFileInfo::exists(output))
        QDir().mkpath(output);
}

QString PackRun::State::localOutputPath(int row) const
{
    // A page from an imported tree keeps its place in the tree under the output folder; any
    // other page goes into the output folder itself.
    const PageRow& page = pages.pageRow(row);
    const QString source = page.texts[COLUMN_FILE_NAME];
    const QString name = page.importedFrom.isEmpty()
        ? fileNameOf(source)
        : QDir(page.importedFrom).relativeFilePath(QDir::fromNativeSeparators(source));
    // The converter writes every "?" of the output path as "_"; the path asked about and
    // shown must be the file it really writes.
    QString path = joinPath(settings.directories.outputFolder, name);
    path.replace(QLatin1Char('?'), QLatin1Char('_'));
    return path;
}

PackRun::RowResult PackRun::State::confirmOverwrite(const QString& outputPath, bool& askFlag)
{
    if (!askFlag || !QFileInfo::exists(outputPath))
        return ROW_PROCESSED;
    const Asker::Answer answer =
        asker.ask(questionParent, QStringLiteral("Warning"),
                  QStringLiteral("Overwrite file ") + outputPath + QStringLiteral(" ?"),
                  Asker::Buttons::YesNoCancel, Asker::Icon::Warning);
    if (answer == Asker::Answer::No)
        return ROW_DECLINED;
    if (answer != Asker::Answer::Yes)
        return ROW_CANCELLED;
    // After the second confirmed overwrite of a run, and only then, offer to stop asking.
    if (overwriteCount == 1) {
        const Asker::Answer all =
            asker.ask(questionParent, QStringLiteral("Warning"),
                      QStringLiteral("Do you want to overwrite all further files "),
                      Asker::Buttons::YesNo, Asker::Icon::Warning);
        if (all == Asker::Answer::Yes)
            askFlag = false;
    }
    ++overwriteCount;
    return ROW_PROCESSED;
}

PackRun::RowResult PackRun::State::plan(int row, bool& askFlag)
{
    PackJob job;
    job.row = row;
    job.source = pages.text(row, COLUMN_FILE_NAME);
    if (isInternetAddress(job.source)) {
        job.internet = true;
        job.outputPath = internetOutputPath(settings.directories.outputFolder, job.source);
        queue->add(job, sameFileKey(job.outputPath));
        return ROW_PROCESSED;
    }
    const QFileInfo page(job.source);
    job.originalSize = page.size();
    job.outputPath = localOutputPath(row);
    // An empty page fails before anything is asked or written: an existing output of that
    // name keeps its bytes.
    if (page.isFile() && job.originalSize == 0) {
        RowOutcome outcome;
        outcome.row = row;
        outcome.outputPath = job.outputPath;
        outcome.failure = QStringLiteral("page holds zero bytes");
        outcome.image = IMAGE_LOCAL_PACKED + 2;
        apply(outcome);
        return ROW_PROCESSED;
    }
    // A row aiming at a file an earlier row of this run writes is not asked about: it waits
    // for that row and is refused once the file is written.
    const QString key = sameFileKey(job.outputPath);
    if (!queue->claimed(key)) {
        const RowResult confirmed = confirmOverwrite(job.outputPath, askFlag);
        if (confirmed != ROW_PROCESSED)
            return confirmed;
    }
    queue->add(job, key);
    return ROW_PROCESSED;
}

void PackRun::State::launch()
{
    const int count = int(std::min<size_t>(size_t(std::max(workerCount, 1)), queue->size()));
    if (count == 0 || stopping) {
        end();
        return;
    }
    for (int worker = 0; worker < count; ++worker) {
        QThread* thread = QThread::create([this] { work(); });
        thread->setObjectName(QStringLiteral("packer %1").arg(worker + 1));
        threads.push_back(thread);
        thread->start();
    }
}

void PackRun::State::work()
{
    PagePackers packers = makePackers(stopping);
    while (const std::optional<JobQueue::Taken> taken = queue->take()) {
        const RowOutcome outcome = packOne(packers, taken->job);
        post(outcome);
        if (outcome.stopped)
            continue;
        for (const PackJob& later : queue->finish(taken->group, outcome.result >= 1)) {
            RowOutcome refused;
            refused.row = later.row;
            refused.outputPath = later.outputPath;
            refused.originalSize = later.originalSize;
            refused.image = (later.internet ? IMAGE_INTERNET_PACKED : IMAGE_LOCAL_PACKED) + 2;
            refused.failure = QStringLiteral("already written by row %1, %2")
                                  .arg(taken->job.row + 1)
                                  .arg(taken->job.source);
            post(refused);
        }
    }
    QMetaObject::invokeMethod(&receiver, [this] { workerEnded(); }, Qt::QueuedConnection);
}

RowOutcome PackRun::State::packOne(PagePackers& packers, const PackJob& job) const
{
    const CompressionSettings& compression = settings.compression;
    const int outputChunk = static_cast<int>(compression.decompOutputSize);
    RowOutcome outcome;
    outcome.row = job.row;
    outcome.outputPath = job.outputPath;
    outcome.originalSize = job.originalSize;
    if (job.internet) {
        outcome.image = IMAGE_INTERNET_PACKED;
        if (packers.packInternet) {
            const InternetPackResult packed =
                packers.packInternet(job.source, settings.directories.outputFolder, flags,
                                     outputChunk, compression.maxTokens, compression.served);
            outcome.result = packed.result;
            outcome.outputPath = packed.outputPath;
            outcome.originalSize = packed.originalSize;
            outcome.failure = packed.failure;
            outcome.stopped = packed.stopped;
            outcome.servedInput = packed.servedInput;
            outcome.servedOutput = packed.servedOutput;
        }
    } else {
        // The folders of a page from an imported tree are made as it is written, inside an
        // output folder that exists.
        if (QFileInfo(settings.directories.outputFolder).isDir())
            QDir().mkpath(QFileInfo(job.outputPath).path());
        // The page is read whole, whatever its size.
        ConvertRequest request{job.source, job.outputPath, NO_BOUND, flags, outputChunk,
                               compression.maxTokens, {}, compression.served};
        if (packers.convert)
            outcome.result = packers.convert(request);
        outcome.outputPath = request.output;
        outcome.failure = request.failure;
        outcome.servedInput = request.servedInput;
        outcome.servedOutput = request.servedOutput;
        // Within a byte of the original: the page was already packed and only copied.
        if (outcome.result >= 1 && std::abs(outcome.result - job.originalSize) < 2)
            outcome.image = IMAGE_LOCAL_UNCHANGED;
    }
    if (outcome.result >= 1)
        outcome.packedSize = QFileInfo(outcome.outputPath).size();
    else
        outcome.image += 2;  // the failure cross of the same kind
    return outcome;
}

void PackRun::State::post(const RowOutcome& outcome)
{
    QMetaObject::invokeMethod(&receiver, [this, outcome] { apply(outcome); },
                              Qt::QueuedConnection);
}

void PackRun::State::failRow(int row, const QString& outputPath, const QString& reason,
                             int image)
{
    pages.setText(row, COLUMN_OUTPUT_NAME,
                  QString::fromLatin1(ROW_ERROR_TEXT) + outputPath + QStringLiteral(" : ")
                      + (reason.isEmpty() ? QStringLiteral("page was not packed") : reason));
    pages.setImage(row, image);
}

void PackRun::State::apply(const RowOutcome& outcome)
{
    if (outcome.stopped)
        return;  // nothing was written; the row shows what it showed before the run
    const int row = outcome.row;
    if (outcome.result < 1) {
        failRow(row, outcome.outputPath, outcome.failure, outcome.image);
    } else {
        pages.setText(row, COLUMN_ORIGINAL_SIZE, QString::number(outcome.originalSize));
        pages.setText(row, COLUMN_OUTPUT_NAME, outcome.outputPath);
        // The ratio is that of the sizes as the server sends them, where the settings say so.
        const bool served = settings.compression.served != QLatin1String("raw") &&
                            outcome.servedInput > 0;
        pages.setText(row, COLUMN_RATIO,
                      served ? ratioText(outcome.servedInput, outcome.servedOutput)
                             : ratioText(outcome.originalSize, outcome.packedSize));
        pages.setText(row, COLUMN_PACKED_SIZE, QString::number(outcome.packedSize));
        pages.setImage(row, outcome.image);
        totals.original += outcome.originalSize;
        totals.packed += outcome.packedSize;
    }
    ++rowsDone;
    if (showProgress && rows > 0)
        showProgress(rowsDone * 100 / rows);
    if (!fullRun)
        return;
    if (showRow)
        showRow(row, totals);
    if (reportOpen) {
        QStringList columns;
        for (int column = COLUMN_FILE_NAME; column <= COLUMN_PACKED_SIZE; ++column)
            columns.append(pages.text(row, column));
        reportLines.insert(row, columns.join(QLatin1Char(' ')).toLocal8Bit() + '\n');
    }
}

void PackRun::State::workerEnded()
{
    if (++workersEnded == int(threads.size()))
        end();
}

void PackRun::State::joinWorkers()
{
    stop();
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    threads.clear();
}

void PackRun::State::end()
{
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    threads.clear();
    // The report lists the rows in the list's order, whatever order they finished in.
    if (reportOpen) {
        for (const QByteArray& line : std::as_const(reportLines))
            report.write(line);
        report.close();
    }
    reportOpen = false;
    running = false;
    if (showProgress)
        showProgress(0);
    if (endLoop)
        endLoop->quit();
    if (finished)
        finished();
}

void PackRun::State::stop()
{
    if (running && !stopping)
        stopped = true;
    stopping = true;
    if (queue)
        queue->stop();
}

PackersFactory oneCallAtATime(LocalConverter convert, InternetPacker packInternet)
{
    auto turn = std::make_shared<std::mutex>();
    PagePackers packers;
    if (convert) {
        packers.convert = [turn, convert](ConvertRequest& request) {
            const std::lock_guard lock(*turn);
            return convert(request);
        };
    }
    if (packInternet) {
        packers.packInternet = [turn, packInternet](const QString& address,
                                                    const QString& outputFolder, int flags,
                                                    int outputChunk, int codeCharLimit,
                                                    const QString& served) {
            const std::lock_guard lock(*turn);
            return packInternet(address, outputFolder, flags, outputChunk, codeCharLimit, served);
        };
    }
    return [packers](const std::atomic<bool>&) { return packers; };
}

PackRun::PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
                 PackersFactory makePackers)
    : state_(std::make_unique<State>(settings, pages, asker, std::move(makePackers)))
{
}

PackRun::PackRun(const AppSettings& settings, PageListModel& pages, Asker& asker,
                 LocalConverter convert, InternetPacker packInternet)
    : PackRun(settings, pages, asker, oneCallAtATime(std::move(convert), std::move(packInternet)))
{
}

PackRun::~PackRun() = default;
PackRun::PackRun(PackRun&&) noexcept = default;
PackRun& PackRun::operator=(PackRun&&) noexcept = default;

void PackRun::startAll(const QString& reportPath)
{
    State& run = *state_;
    if (run.running)
        return;
    run.begin(*this, RunTotals(), run.pages.rowCount(), true);
    run.report.setFileName(reportPath.isEmpty()
                               ? joinPath(run.settings.directories.outputFolder,
                                          QString::fromLatin1(RUN_REPORT_FILE))
                               : reportPath);
    run.reportOpen =
        run.report.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    if (!run.reportOpen) {
        run.asker.ask(questionParent, QStringLiteral("Warning"),
                      QStringLiteral("The run report %1 could not be written: %2")
                          .arg(QDir::toNativeSeparators(
                                   QFileInfo(run.report.fileName()).absoluteFilePath()),
                               run.report.errorString()),
                      Asker::Buttons::Ok, Asker::Icon::Warning);
    }
    bool askFlag = run.settings.directories.overwriteWarning != 0;
    for (int row = 0; row < run.pages.rowCount(); ++row) {
        if (run.plan(row, askFlag) == ROW_CANCELLED)
            break;
    }
    run.launch();
}

void PackRun::startSelected(int row, const RunTotals& totals)
{
    State& run = *state_;
    if (run.running)
        return;
    run.begin(*this, totals, 1, false);
    bool askFlag = run.settings.directories.overwriteWarning != 0;
    if (row >= 0 && row < run.pages.rowCount())
        run.plan(row, askFlag);
    run.launch();
}

void PackRun::stop()
{
    state_->stop();
}

bool PackRun::isRunning() const
{
    return state_->running;
}

bool PackRun::wasStopped() const
{
    return state_->stopped;
}

void PackRun::waitForEnd()
{
    State& run = *state_;
    if (!run.running)
        return;
    QEventLoop loop;
    run.endLoop = &loop;
    loop.exec();
    run.endLoop = nullptr;
}

const RunTotals& PackRun::totals() const
{
    return state_->totals;
}

void PackRun::packAll(RunTotals& totals, const QString& reportPath)
{
    startAll(reportPath);
    waitForEnd();
    totals = state_->totals;
}

void PackRun::packSelected(int row, RunTotals& totals)
{
    startSelected(row, totals);
    waitForEnd();
    totals = state_->totals;
}

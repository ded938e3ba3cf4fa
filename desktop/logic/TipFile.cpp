#include "TipFile.h"

#include "Asker.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <ctime>

const QString TipFile::missingFileText =
    QStringLiteral("Tips file does not exist in the prescribed directory");
const QString TipFile::readTroubleText = QStringLiteral("Trouble reading the tips file");
const QString TipFile::noTipsText = QStringLiteral("The tips file holds no tips.");

namespace {

const QString kSection = QStringLiteral("Tip");
const QString kStartUp = QStringLiteral("StartUp");
const QString kFilePos = QStringLiteral("FilePos");
const QString kTimeStamp = QStringLiteral("TimeStamp");

// Longest piece of a line read at once; a longer line goes on in the next read.
constexpr qint64 kLineBuffer = 1000;

// The time the file last changed, in the C library's ctime layout without the line end.
// Replacing or rewriting the file changes it.
QString fileTimeStamp(const QFile& file)
{
    const std::time_t changed = QFileInfo(file).metadataChangeTime().toSecsSinceEpoch();
    return QString::fromLocal8Bit(std::ctime(&changed)).trimmed();
}

// Comments (";"), indented lines and empty lines are not tips.
bool isTipLine(const QByteArray& line)
{
    if (line.isEmpty())
        return false;
    switch (line.front()) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case ';':
        return false;
    default:
        return true;
    }
}

} // namespace

QStringList TipFile::defaultLocations()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return {
        QDir::current().filePath(QStringLiteral("tips.txt")),
        programDir + QStringLiteral("/tips.txt"),
        QDir::cleanPath(programDir + QStringLiteral("/../share/quillbox/tips.txt")),
    };
}

TipFile::TipFile(SettingsStore& store, Asker& asker, const QStringList& locations)
    : store_(store), asker_(asker)
{
    showAtStartUp_ = store_.getProfileInt(kSection, kStartUp, 0) == 0;
    qint64 position = store_.getProfileInt(kSection, kFilePos, 0);

    for (const QString& location : locations) {
        file_.setFileName(location);
        if (file_.open(QIODevice::ReadOnly))
            break;
    }
    if (!file_.isOpen()) {
        tipText_ = missingFileText;
        return;
    }

    const QString stamp = fileTimeStamp(file_);
    if (store_.getProfileString(kSection, kTimeStamp, QString()) != stamp) {
        position = 0;
        store_.writeProfileString(kSection, kTimeStamp, stamp);
    }

    if (position < 0 || !file_.seek(position)) {
        reportReadTrouble();
        return;
    }
    nextTip();
}

TipFile::~TipFile()
{
    if (file_.isOpen()) {
        store_.writeProfileInt(kSection, kFilePos, static_cast<int>(file_.pos()));
        file_.close();
    }
}

void TipFile::nextTip()
{
    if (!file_.isOpen())
        return;

    // One wrap to the start is enough to see every line; a second end of file means the
    // file holds no tip at all.
    bool wrapped = false;
    char buffer[kLineBuffer];
    for (;;) {
        const qint64 length = file_.readLine(buffer, kLineBuffer);
        if (length <= 0) {
            if (wrapped) {
                tipText_ = noTipsText;
                return;
            }
            if (!file_.seek(0)) {
                reportReadTrouble();
                return;
            }
            wrapped = true;
            continue;
        }
        const QByteArray line(buffer, length);
        if (isTipLine(line)) {
            tipText_ = QString::fromUtf8(line);
            tipText_.remove(QLatin1Char('\r'));
            return;
        }
    }
}

void TipFile::saveShowAtStartUp(bool show)
{
    showAtStartUp_ = show;
    store_.writeProfileInt(kSection, kStartUp, show ? 0 : 1);
}

void TipFile::reportReadTrouble()
{
    tipText_.clear();
    QString caption = QCoreApplication::applicationName();
    if (caption.isEmpty())
        caption = QStringLiteral("Quillwin");
    asker_.ask(nullptr, caption, readTroubleText, Asker::Buttons::Ok, Asker::Icon::Warning);
}

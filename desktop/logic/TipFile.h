// The tips file "tips.txt" and the place of the next tip in it, kept in the settings store.
//
// Every showing continues after the tip shown last: the read position is saved as "Tip"/
// "FilePos" when the object ends, and starts over at 0 when the file's time stamp differs from
// "Tip"/"TimeStamp" (the file was replaced). A line is a tip unless it is empty or begins with a
// blank, a tab or ";"; after the last tip the search wraps to the start. "Tip"/"StartUp" 0
// means: show tips at start-up.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

class Asker;
class SettingsStore;

class TipFile {
public:
    // The places searched for the tips file, in order: the current directory, beside the
    // program, and the data folder of an installed program.
    static QStringList defaultLocations();

    // Reads the "Tip" settings, opens the first of `locations` that can be read and finds the
    // next tip. Trouble is reported through `asker`.
    TipFile(SettingsStore& store, Asker& asker, const QStringList& locations = defaultLocations());
    // Saves the read position, when a file is open.
    ~TipFile();

    TipFile(const TipFile&) = delete;
    TipFile& operator=(const TipFile&) = delete;

    bool hasFile() const { return file_.isOpen(); }
    // The path of the open tips file; empty when none was found.
    QString fileName() const { return hasFile() ? file_.fileName() : QString(); }
    // True when "Tip"/"StartUp" asks for tips at start-up.
    bool showAtStartUp() const { return showAtStartUp_; }
    // The tip shown: one line of the file with its line end, or a message when there is none.
    const QString& tipText() const { return tipText_; }

    // Moves on to the next tip, wrapping to the start of the file after the last one.
    void nextTip();
    // Saves the start-up choice made when the dialog is closed with its Close button.
    void saveShowAtStartUp(bool show);

    static const QString missingFileText;
    static const QString readTroubleText;
    static const QString noTipsText;

private:
    void reportReadTrouble();

    SettingsStore& store_;
    Asker& asker_;
    QFile file_;
    bool showAtStartUp_ = true;
    QString tipText_;
};

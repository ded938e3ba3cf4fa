// The wait cursor of long commands, and an Asker that lifts it while a question is on show.
#pragma once

#include "Asker.h"

#include <QCursor>
#include <QList>

// The wait cursor for as long as the object lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Takes every application override cursor off for as long as the object lives and puts them
// back, in their order, afterwards; the user answers a question with the normal pointer.
class CursorLift {
public:
    CursorLift();
    ~CursorLift();
    CursorLift(const CursorLift&) = delete;
    CursorLift& operator=(const CursorLift&) = delete;

private:
    QList<QCursor> lifted_;  // topmost first
};

// Passes every question and chooser on to another Asker under a CursorLift, so a command
// that runs with the wait cursor never shows it over a message box or a file chooser.
class ArrowCursorAsker : public Asker {
public:
    explicit ArrowCursorAsker(Asker& asker) : asker_(asker) {}

    Answer ask(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
               Icon icon) override;
    QStringList openFileNames(QWidget* parent, const QString& directory,
                              const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& directory,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& directory,
                         const QString& filter) override;
    QString folder(QWidget* parent, const QString& initialFolder, const QString& title) override;

private:
    Asker& asker_;
};

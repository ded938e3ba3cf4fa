// The program's Asker: real message boxes, file choosers and the folder chooser.
#pragma once

#include "Asker.h"

class DialogAsker : public Asker {
public:
    Answer ask(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
               Icon icon) override;
    QStringList openFileNames(QWidget* parent, const QString& directory,
                              const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& directory,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& directory,
                         const QString& filter) override;
    QString folder(QWidget* parent, const QString& initialFolder, const QString& title) override;
};

// Turns a filter of the form "Name (*.a;*.b)|*.a; *.b|All Files (*.*)|*.*||" into the
// chooser's ";;"-separated list, keeping each shown name and taking its patterns from the
// pattern field.
QString fileDialogFilter(const QString& pipeFilter);

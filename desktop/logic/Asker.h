// Questions, messages and file choosers, behind one small interface that tests answer.
//
// Widgets call an Asker instead of QMessageBox and QFileDialog directly; the program uses
// DialogAsker (real dialogs), tests use a scripted fake that returns prepared answers.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class Asker {
public:
    enum class Answer { Ok, Yes, No, Cancel };
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Icon { None, Information, Question, Warning, Error };

    virtual ~Asker() = default;

    // A message box with `caption`, `text`, the buttons and icon given; returns the button pressed.
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text,
                       Buttons buttons, Icon icon) = 0;
    // Open-file chooser allowing several files; empty when cancelled.
    virtual QStringList openFileNames(QWidget* parent, const QString& directory,
                                      const QString& filter) = 0;
    // Single open-file chooser; empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& directory,
                                 const QString& filter) = 0;
    // Save-file chooser; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& directory,
                                 const QString& filter) = 0;
    // Folder chooser with `title` above the tree; empty when cancelled.
    virtual QString folder(QWidget* parent, const QString& initialFolder,
                           const QString& title) = 0;
};

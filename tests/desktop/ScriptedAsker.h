// An Asker that answers from a script prepared by the test and records every question.
#pragma once

#include "Asker.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

class ScriptedAsker : public Asker {
public:
    struct Question {
        QString caption;
        QString text;
        Buttons buttons;
        Icon icon;
    };

    QQueue<Answer> answers;             // for ask(); Cancel when the script has run out
    QQueue<QStringList> fileSelections; // for openFileNames(); empty (cancelled) when run out
    QQueue<QString> fileNames;          // for openFileName() and saveFileName()
    QQueue<QString> folders;            // for folder()

    QList<Question> questions;          // every ask() in order
    QStringList chooserDirectories;     // the folder each file chooser opened in
    QStringList chooserFilters;
    QStringList folderTitles;           // the title of each folder chooser
    QStringList folderStarts;           // the initial folder of each folder chooser
    int unexpectedCalls = 0;            // calls that found nothing prepared
    // Called for each ask() while the question is "on show", to look at the program's state.
    std::function<void(const Question&)> whileAsking;

    Answer ask(QWidget*, const QString& caption, const QString& text, Buttons buttons,
               Icon icon) override
    {
        questions.append({caption, text, buttons, icon});
        if (whileAsking)
            whileAsking(questions.last());
        if (answers.isEmpty()) {
            ++unexpectedCalls;
            return Answer::Cancel;
        }
        return answers.dequeue();
    }

    QStringList openFileNames(QWidget*, const QString& directory, const QString& filter) override
    {
        chooserDirectories.append(directory);
        chooserFilters.append(filter);
        if (fileSelections.isEmpty()) {
            ++unexpectedCalls;
            return {};
        }
        return fileSelections.dequeue();
    }

    QString openFileName(QWidget*, const QString& directory, const QString& filter) override
    {
        return nextFileName(directory, filter);
    }

    QString saveFileName(QWidget*, const QString& directory, const QString& filter) override
    {
        return nextFileName(directory, filter);
    }

    QString folder(QWidget*, const QString& initialFolder, const QString& title) override
    {
        folderStarts.append(initialFolder);
        folderTitles.append(title);
        if (folders.isEmpty()) {
            ++unexpectedCalls;
            return {};
        }
        return folders.dequeue();
    }

    QStringList questionTexts() const
    {
        QStringList texts;
        for (const Question& question : questions)
            texts.append(question.text);
        return texts;
    }

private:
    QString nextFileName(const QString& directory, const QString& filter)
    {
        chooserDirectories.append(directory);
        chooserFilters.append(filter);
        if (fileNames.isEmpty()) {
            ++unexpectedCalls;
            return {};
        }
        return fileNames.dequeue();
    }
};

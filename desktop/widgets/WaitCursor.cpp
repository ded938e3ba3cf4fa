#include "WaitCursor.h"

#include <QGuiApplication>

WaitCursor::WaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

CursorLift::CursorLift()
{
    while (const QCursor* cursor = QGuiApplication::overrideCursor()) {
        lifted_.append(*cursor);
        QGuiApplication::restoreOverrideCursor();
    }
}

CursorLift::~CursorLift()
{
    for (auto cursor = lifted_.crbegin(); cursor != lifted_.crend(); ++cursor)
        QGuiApplication::setOverrideCursor(*cursor);
}

Asker::Answer ArrowCursorAsker::ask(QWidget* parent, const QString& caption, const QString& text,
                                    Buttons buttons, Icon icon)
{
    const CursorLift lift;
    return asker_.ask(parent, caption, text, buttons, icon);
}

QStringList ArrowCursorAsker::openFileNames(QWidget* parent, const QString& directory,
                                            const QString& filter)
{
    const CursorLift lift;
    return asker_.openFileNames(parent, directory, filter);
}

QString ArrowCursorAsker::openFileName(QWidget* parent, const QString& directory,
                                       const QString& filter)
{
    const CursorLift lift;
    return asker_.openFileName(parent, directory, filter);
}

QString ArrowCursorAsker::saveFileName(QWidget* parent, const QString& directory,
                                       const QString& filter)
{
    const CursorLift lift;
    return asker_.saveFileName(parent, directory, filter);
}

QString ArrowCursorAsker::folder(QWidget* parent, const QString& initialFolder,
                                 const QString& title)
{
    const CursorLift lift;
    return asker_.folder(parent, initialFolder, title);
}

// Answers a modal dialog from a test: the dialog's own event loop runs while the code under
// test waits for it, so the answer comes from a timer that watches for the dialog.
#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs `answer` on the first modal window of type Dialog once it is active.
template <typename Dialog>
void whenModalOpens(QObject* context, std::function<void(Dialog&)> answer)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        answer(*dialog);
    });
    poll->start(20);
}

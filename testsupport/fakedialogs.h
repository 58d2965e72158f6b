#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

// Dialogs that answer from queues at once and remember what they were asked: nothing modal ever
// waits for a person, so neither a test nor a timed run stops there. An empty queue answers as a
// cancelled dialog. On any interface that has the common dialogs, such as the collator's.
template <typename Base> class FakeDialogsOf : public Base
{
public:
    QString openFile(QWidget *, const OpenFileRequest &request) override
    {
        openRequests.append(request);
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &fileName, const QString &) override
    {
        saveNames.append(fileName);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void message(QWidget *, const QString &text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &text) override
    {
        questions.append(text);
        return confirmAnswer;
    }

    QStringList openAnswers, saveAnswers;
    // Every question gets this answer; No by default.
    bool confirmAnswer = false;
    std::function<void(const QString &)> onMessage;
    QList<OpenFileRequest> openRequests;
    QStringList saveNames, messages, questions;
};

using FakeDialogs = FakeDialogsOf<Dialogs>;

#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

// Dialogs that answer from queues and remember what they were asked.
class FakeDialogs : public Dialogs
{
public:
    QString openFile(QWidget *, const OpenFileRequest &request) override
    {
        openRequests.append(request);
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &fileName, const QString &filter) override
    {
        saveNames.append(fileName);
        saveFilters.append(filter);
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

    QStringList openAnswers;
    QStringList saveAnswers;
    bool confirmAnswer = false;
    std::function<void(const QString &)> onMessage;

    QList<OpenFileRequest> openRequests;
    QStringList saveNames;
    QStringList saveFilters;
    QStringList messages;
    QStringList questions;
};

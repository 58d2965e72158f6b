#pragma once

#include "dialogs.h"

#include <QStringList>

// Dialogs that never block: a modal box would stop the event loop and the clock with it.
class BenchDialogs : public Dialogs
{
public:
    QString openFile(QWidget *, const OpenFileRequest &) override
    {
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const QString &, const QString &) override
    {
        ++saveRequests;
        return saveAnswer;
    }
    void message(QWidget *, const QString &text) override { messages.append(text); }
    bool confirm(QWidget *, const QString &) override { return true; }

    QStringList openAnswers;
    QString saveAnswer;
    int saveRequests = 0;
    QStringList messages;
};

#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

// Dialogs that answer from queues at once and remember what they were asked: nothing modal ever
// waits for a person, so neither a test nor a timed run stops there. An empty queue answers as a
// cancelled dialog.
class FakeDialogs : public Dialogs
{
public:
    QString openFile(QWidget *, const OpenFileRequest &request) override;
    QString saveFile(QWidget *, const QString &fileName, const QString &filter) override;
    void message(QWidget *, const QString &text) override;
    bool confirm(QWidget *, const QString &text) override;

    QStringList openAnswers, saveAnswers;
    // Every question gets this answer; No by default.
    bool confirmAnswer = false;
    std::function<void(const QString &)> onMessage;
    QList<OpenFileRequest> openRequests;
    QStringList saveNames, saveFilters, messages, questions;
};

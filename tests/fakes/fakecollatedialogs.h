#pragma once

#include "collatedialogs.h"
#include "fakedialogs.h"

// FakeDialogs, with a queue of answers for the dialog that chooses several files.
class FakeCollateDialogs : public CollateDialogs
{
public:
    QString openFile(QWidget *parent, const OpenFileRequest &request) override
    {
        return common.openFile(parent, request);
    }
    QString saveFile(QWidget *parent, const QString &fileName, const QString &filter) override
    {
        return common.saveFile(parent, fileName, filter);
    }
    void message(QWidget *parent, const QString &text) override { common.message(parent, text); }
    bool confirm(QWidget *parent, const QString &text) override
    {
        return common.confirm(parent, text);
    }
    QStringList openFiles(QWidget *, const OpenFileRequest &) override
    {
        return openFilesAnswers.isEmpty() ? QStringList() : openFilesAnswers.takeFirst();
    }

    FakeDialogs common;
    QList<QStringList> openFilesAnswers;
};

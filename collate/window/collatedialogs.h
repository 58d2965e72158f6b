#pragma once

#include "dialogs.h"

// The dialogs of the collating window: the common ones, and an open dialog that takes several
// files at once.
class CollateDialogs : public Dialogs
{
public:
    // Full paths of the chosen files; empty when the dialog was cancelled.
    virtual QStringList openFiles(QWidget *parent, const OpenFileRequest &request) = 0;
};

// The same on Qt's own widgets, the common dialogs being those of the main program.
class QtCollateDialogs : public CollateDialogs
{
public:
    QString openFile(QWidget *parent, const OpenFileRequest &request) override
    {
        return m_dialogs.openFile(parent, request);
    }
    QString saveFile(QWidget *parent, const QString &fileName, const QString &filter) override
    {
        return m_dialogs.saveFile(parent, fileName, filter);
    }
    void message(QWidget *parent, const QString &text) override { m_dialogs.message(parent, text); }
    bool confirm(QWidget *parent, const QString &text) override
    {
        return m_dialogs.confirm(parent, text);
    }
    QStringList openFiles(QWidget *parent, const OpenFileRequest &request) override
    {
        return m_dialogs.openFiles(parent, request);
    }

private:
    QtDialogs m_dialogs;
};

#pragma once

#include <QString>
#include <QStringList>

class QWidget;

struct OpenFileRequest
{
    QString title;
    QString defaultSuffix; // without the dot
    QString filter;        // "description|patterns|description|patterns|"
    QString directory;
};

// File dialogs and message boxes. Every message box has an OK button only, no icon, and the
// title "Dialtrace".
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Full path of the chosen file, or empty when the dialog was cancelled.
    virtual QString openFile(QWidget *parent, const OpenFileRequest &request) = 0;
    // Full path chosen to save to, or empty when the dialog was cancelled. fileName is the
    // name offered at first; filter is in the same form as OpenFileRequest::filter.
    virtual QString saveFile(QWidget *parent, const QString &fileName, const QString &filter) = 0;
    virtual void message(QWidget *parent, const QString &text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
};

// The same dialogs on Qt's own widgets.
class QtDialogs : public Dialogs
{
public:
    QString openFile(QWidget *parent, const OpenFileRequest &request) override;
    QString saveFile(QWidget *parent, const QString &fileName, const QString &filter) override;
    void message(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text) override;
    // Several existing files at once; empty when the dialog was cancelled.
    QStringList openFiles(QWidget *parent, const OpenFileRequest &request);

private:
    QString m_saveDirectory;
};

// "Movie Files (*.avi)|*.avi;*.mpg|Sounds|*.wav|" becomes Qt's
// {"Movie Files (*.avi) (*.avi *.mpg)", "Sounds (*.wav)"}.
QStringList qtNameFilters(const QString &filter);

inline const QString ApplicationTitle = QStringLiteral("Dialtrace");

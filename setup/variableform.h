#pragma once

#include "setuprecord.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

class Dialogs;

// The setup form: subject, one or two variable names and the date, then the clip to play.
class VariableForm : public QWidget
{
    Q_OBJECT
public:
    explicit VariableForm(Dialogs &dialogs, QWidget *parent = nullptr);

    const SetupRecord &record() const { return m_record; }

    // For a study: its variables filled in and locked (the box for two variables set to match and
    // not to be changed), the date filled in with today's, changeable, a participant's name or
    // number required, and no clip to choose: the study names them.
    void setStudy(const QStringList &variables, const QString &today);

    // Handlers of Check1, Command1 "Ok", Command2 "Cancel" and Command3 "Help".
    void toggleSecondVariable();
    void ok();
    void cancel();
    void help();

    // The warning under a field (by its name) where its text holds characters the results file
    // cannot store; empty where none is shown.
    QString unstorableWarning(const char *field) const;

protected:
    void closeEvent(QCloseEvent *event) override;

signals:
    // The record is complete and the form hidden: time for the instructions.
    void recordReady();
    void closeAllRequested();

private:
    void setSecondVariableOpen(bool open);
    // Shows a warning under each field whose text the results file cannot hold as typed, and
    // moves what lies below it down to make room.
    void showUnstorable();
    QString chooseFile();

    Dialogs &m_dialogs;
    SetupRecord m_record;
    bool m_study = false;
    bool m_secondVariable = false; // in a study, where the box cannot tell

    QLabel Label1;
    QLineEdit Text1;
    QLabel Label5;
    QLineEdit Text2;
    QLabel Label2;
    QLabel Label6;
    QCheckBox Check1;
    QLineEdit Text4;
    QLabel Label3;
    QLineEdit Text3;
    QPushButton Command3;
    QPushButton Command1;
    QPushButton Command2;

    struct Warning
    {
        QLineEdit *field = nullptr;
        QLabel label;
    };
    std::array<Warning, 4> m_warnings;
    // Where each control stands with no warning shown.
    QList<std::pair<QWidget *, QRect>> m_designed;
    QSize m_designedSize;
};

inline const QString ParticipantNeeded =
    QStringLiteral("Please type the participant's name or number.");
inline const QString ContactAddress = QStringLiteral("dialtrace-support@example.org");

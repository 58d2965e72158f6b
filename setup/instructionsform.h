#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

struct SetupRecord;

// The instructions for the subject, the day's variables and a greeting; "Proceed" moves on to
// the rating screen. The instructions are the text given (a study's), or where it is empty the
// file Instructions.txt in the application directory.
class InstructionsForm : public QWidget
{
    Q_OBJECT
public:
    InstructionsForm(const SetupRecord &record, const QString &applicationDirectory,
                     const QString &instructions = QString(), QWidget *parent = nullptr);

    // Command1 "Proceed".
    void proceed();

signals:
    void proceedPressed();
    void closeAllRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_proceeded = false;

    QLabel Label1;
    QLabel Label3;
    QLabel Label2;
    QPushButton Command1;
};

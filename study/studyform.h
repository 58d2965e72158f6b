#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

// A small screen between the clips of a study: "Clip 2 of 3" or "Practice" with "Start", so that
// the participant starts each clip when ready, and "Thank you!" with "Close" after the last.
// The button has the focus and is the default: Return presses it.
class StudyForm : public QWidget
{
    Q_OBJECT
public:
    StudyForm(const QString &text, const QString &button, QWidget *parent = nullptr);

signals:
    void pressed();
    void closeAllRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_pressed = false;
    QLabel Label1;
    QPushButton Command1;
};

inline const QString StartText = QStringLiteral("Start");
inline const QString ThankYouText = QStringLiteral("Thank you!");
inline const QString CloseText = QStringLiteral("Close");

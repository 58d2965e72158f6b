#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// The splash window: the title picture for three seconds, then the setup form.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // Timer1's single tick.
    void handOver();

signals:
    void handOverRequested();
    void closeAllRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_handedOver = false;
    QLabel Image1;
    QTimer Timer1;
};

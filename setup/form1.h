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

private:
    QLabel Image1;
    QTimer Timer1;
};

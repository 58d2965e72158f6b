#include "form1.h"

#include "twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

using namespace std::chrono_literals;

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1(this), Timer1(this)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(Twips::size(7365, 4230));
    Image1.setObjectName(QStringLiteral("Image1"));
    Image1.setGeometry(rect());
    Image1.setScaledContents(true);
    Image1.setPixmap(QPixmap(QStringLiteral(":/dialtrace/splash.jpg")));

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setSingleShot(true);
    Timer1.setInterval(3000ms);
    Timer1.callOnTimeout(this, &Form1::handOver);
    Timer1.start();
}

void Form1::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    Timer1.stop();
    emit handOverRequested();
}

void Form1::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed before the setup form came: with the timer gone nothing else would ever show, so
    // the program ends rather than linger without a window.
    if (!m_handedOver)
        emit closeAllRequested();
}

#include "moc_form1.cpp"

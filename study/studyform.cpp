#include "studyform.h"

#include "dialogs.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

StudyForm::StudyForm(const QString &text, const QString &button, QWidget *parent)
    : QWidget(parent), Label1(text, this), Command1(button, this)
{
    setObjectName(QStringLiteral("StudyForm"));
    setWindowTitle(ApplicationTitle);
    Label1.setObjectName(QStringLiteral("Label1"));
    Label1.setAlignment(Qt::AlignCenter);
    QFont large = Label1.font();
    large.setPointSizeF(large.pointSizeF() * 2.0);
    Label1.setFont(large);
    Command1.setObjectName(QStringLiteral("Command1"));
    Command1.setDefault(true);
    Command1.setMinimumWidth(120);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 24);
    layout->setSpacing(24);
    layout->addWidget(&Label1);
    layout->addWidget(&Command1, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    connect(&Command1, &QPushButton::clicked, this, [this] {
        m_pressed = true;
        emit pressed();
    });
    Command1.setFocus();
}

void StudyForm::keyPressEvent(QKeyEvent *event)
{
    // A plain window has no default button of its own: Return and Enter press it here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        Command1.click();
    else
        QWidget::keyPressEvent(event);
}

void StudyForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed by its frame: the study ends here, as "Close" would end it.
    if (!m_pressed)
        emit closeAllRequested();
}

#include "moc_studyform.cpp"

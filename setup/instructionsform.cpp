#include "instructionsform.h"

#include "instructions.h"
#include "setuprecord.h"
#include "twips.h"

InstructionsForm::InstructionsForm(const SetupRecord &record, const QString &applicationDirectory,
                                   const QString &instructions, QWidget *parent)
    : QWidget(parent), Label1(this), Label3(this), Label2(this), Command1(this)
{
    setObjectName(QStringLiteral("InstructionsForm"));
    setWindowTitle(QStringLiteral("Instructions"));
    setFixedSize(Twips::size(7095, 7605));

    const struct
    {
        QLabel &label;
        const char *name;
        QRect geometry;
    } labels[] = {{Label1, "Label1", Twips::rect(240, 240, 6615, 5055)},
                  {Label3, "Label3", Twips::rect(240, 5640, 6015, 495)},
                  {Label2, "Label2", Twips::rect(240, 6480, 6495, 375)}};
    for (const auto &entry : labels) {
        entry.label.setObjectName(QString::fromLatin1(entry.name));
        entry.label.setGeometry(entry.geometry);
        // Text that does not fit is cut off at the label's edge: there is no scrolling.
        entry.label.setWordWrap(true);
        entry.label.setTextFormat(Qt::PlainText);
        entry.label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        entry.label.setFocusPolicy(Qt::NoFocus);
    }

    Command1.setObjectName(QStringLiteral("Command1"));
    Command1.setGeometry(Twips::rect(4680, 7080, 2295, 375));
    Command1.setText(QStringLiteral("Proceed"));
    Command1.setAutoDefault(false);
    connect(&Command1, &QPushButton::clicked, this, &InstructionsForm::proceed);

    QString text =
        !instructions.isEmpty()
            ? instructions
            : Instructions::ReadFileContents(
                  Instructions::filePath(applicationDirectory, record.Input));
    if (const QString how = Instructions::howToRate(record); !how.isEmpty())
        text = how + QStringLiteral("\n\n") + text;
    Label1.setText(text);
    Label2.setText(Instructions::greeting(record));
    Label3.setText(Instructions::variablesLine(record));
    Command1.setFocus();
}

void InstructionsForm::proceed()
{
    m_proceeded = true;
    emit proceedPressed();
}

void InstructionsForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed by its frame: no other screen is visible, so the run ends here rather than leave
    // a hidden setup form behind.
    if (!m_proceeded)
        emit closeAllRequested();
}

#include "moc_instructionsform.cpp"

#include "variableform.h"

#include "controls.h"
#include "dialogs.h"
#include "files.h"
#include "twips.h"

#include <QCloseEvent>
#include <QDir>

using Controls::place;
using Controls::placeLabel;

namespace {

const QString PleaseOpenAFile = QStringLiteral("Please open a file!");
const QString OpenTitle = QStringLiteral("Please Select the Movie or Sound File");
// The original two entries as they were, and after them today's formats with theirs, so that the
// first entry is still the one chosen at first.
const QString OpenFilter =
    QStringLiteral("Movie Files (*.avi,*.mpg,*.mpeg,*.wmv)|*.avi;*.mpg;*.mpeg;*.wmv|"
                   "MP3/Wav Sound Files (*.mp3;*.wav)|*.mp3;*.wav|"
                   "All clips|*.mp4;*.mov;*.mkv;*.m4a;*.ogg;*.webm;"
                   "*.avi;*.mpg;*.mpeg;*.wmv;*.mp3;*.wav|");

// Names the results file cannot hold as typed: said under the field, and "Ok" goes on.
const QString UnstorableSuffix = QStringLiteral(" will be written as ?");
constexpr int MostCharactersNamed = 8;
constexpr int WarningHeight = 240;

// A pasted line break shows as a blank in the box; it must not split a line of the results file.
QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : text) {
        if (QStringLiteral("\r\n\v\f\u0085\u2028\u2029").contains(c))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

VariableForm::VariableForm(Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_dialogs(dialogs), Label1(this), Text1(this), Label5(this), Text2(this),
      Label2(this), Label6(this), Check1(this), Text4(this), Label3(this), Text3(this),
      Command3(this), Command1(this), Command2(this)
{
    setObjectName(QStringLiteral("VariableForm"));
    setWindowTitle(QStringLiteral("Variables"));
    setFixedSize(Twips::size(5055, 3540));

    placeLabel(Label1, "Label1", QStringLiteral("Subject Name"), 120, 120, 1095, 375);
    place(Text1, "Text1", 120, 360, 4815, 375);
    placeLabel(Label5, "Label5", QStringLiteral("Variable 1"), 120, 840, 855, 255);
    place(Text2, "Text2", 120, 1080, 4815, 375);
    placeLabel(Label2, "Label2", QStringLiteral("Variable 2 (optional)"), 120, 1560, 2775, 375);
    placeLabel(Label6, "Label6", QStringLiteral("For 2 Variables"), 3600, 1560, 1335, 255);
    place(Check1, "Check1", 4680, 1560, 255, 255);
    place(Text4, "Text4", 120, 1800, 4815, 375);
    placeLabel(Label3, "Label3", QStringLiteral("Date"), 120, 2280, 495, 375);
    place(Text3, "Text3", 120, 2520, 4815, 375);
    place(Command3, "Command3", 120, 3000, 1095, 375);
    Command3.setText(QStringLiteral("Help"));
    place(Command1, "Command1", 2880, 3000, 975, 375);
    Command1.setText(QStringLiteral("Ok"));
    place(Command2, "Command2", 3960, 3000, 975, 375);
    Command2.setText(QStringLiteral("Cancel"));

    for (QLabel *label : {&Label1, &Label5, &Label2, &Label6, &Label3})
        label->setFocusPolicy(Qt::NoFocus);
    Label1.setBuddy(&Text1);
    Label5.setBuddy(&Text2);
    Label2.setBuddy(&Text4);
    Label3.setBuddy(&Text3);
    Check1.setAccessibleName(Label6.text());
    Text1.setAccessibleName(Label1.text());
    Text2.setAccessibleName(Label5.text());
    Text4.setAccessibleName(Label2.text());
    Text3.setAccessibleName(Label3.text());

    // Screens are plain windows, not dialogs: Enter and Escape press no button.
    for (QPushButton *button : {&Command3, &Command1, &Command2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    setTabOrder(&Text1, &Text2);
    setTabOrder(&Text2, &Text3);
    setTabOrder(&Text3, &Command1);
    setTabOrder(&Command1, &Command2);
    setTabOrder(&Command2, &Command3);
    setTabOrder(&Command3, &Text4);
    setTabOrder(&Text4, &Check1);

    connect(&Check1, &QCheckBox::clicked, this, &VariableForm::toggleSecondVariable);
    connect(&Command1, &QPushButton::clicked, this, &VariableForm::ok);
    connect(&Command2, &QPushButton::clicked, this, &VariableForm::cancel);
    connect(&Command3, &QPushButton::clicked, this, &VariableForm::help);

    // Top to bottom, as they stand on the form.
    m_warnings[0].field = &Text1;
    m_warnings[1].field = &Text2;
    m_warnings[2].field = &Text4;
    m_warnings[3].field = &Text3;
    for (QWidget *control : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        m_designed.append({control, control->geometry()});
    m_designedSize = size();
    for (Warning &warning : m_warnings) {
        warning.label.setParent(this);
        warning.label.setObjectName(warning.field->objectName() + QStringLiteral("Unstorable"));
        warning.label.setTextFormat(Qt::PlainText);
        warning.label.setStyleSheet(QStringLiteral("color: #b00000"));
        warning.label.hide();
        connect(warning.field, &QLineEdit::textChanged, this, &VariableForm::showUnstorable);
    }

    setSecondVariableOpen(false);
    Text1.setFocus();
}

void VariableForm::showUnstorable()
{
    const int line = Twips::toPixels(WarningHeight);
    QList<int> anchors; // where a field with a warning under it ends, as designed
    for (Warning &warning : m_warnings) {
        const QStringList characters = Files::unstorable(oneLine(warning.field->text()));
        warning.label.setVisible(!characters.isEmpty());
        if (characters.isEmpty())
            continue;
        QStringList named = characters.mid(0, MostCharactersNamed);
        if (characters.size() > MostCharactersNamed)
            named.append(QStringLiteral("..."));
        warning.label.setText(named.join(QStringLiteral(", ")) + UnstorableSuffix);
        for (const auto &[control, place] : std::as_const(m_designed)) {
            if (control == warning.field)
                anchors.append(place.bottom());
        }
    }
    for (const auto &[control, place] : std::as_const(m_designed)) {
        const auto below = std::count_if(anchors.cbegin(), anchors.cend(),
                                         [top = place.top()](int anchor) { return top > anchor; });
        control->move(place.left(), place.top() + static_cast<int>(below) * line);
    }
    for (Warning &warning : m_warnings) {
        const QRect field = warning.field->geometry();
        warning.label.setGeometry(field.left(), field.bottom() + 1, field.width(), line);
    }
    const QSize wanted = m_designedSize + QSize(0, static_cast<int>(anchors.size()) * line);
    if (wanted != size())
        setFixedSize(wanted);
}

QString VariableForm::unstorableWarning(const char *field) const
{
    for (const Warning &warning : m_warnings) {
        if (warning.field->objectName() == QLatin1String(field))
            return warning.label.isHidden() ? QString() : warning.label.text();
    }
    return QString();
}

void VariableForm::setSecondVariableOpen(bool open)
{
    if (!open)
        Text4.clear();
    Text4.setReadOnly(!open);
    QPalette palette = Text4.palette();
    palette.setColor(QPalette::Base,
                     palette.color(open ? QPalette::HighlightedText : QPalette::Shadow));
    Text4.setPalette(palette);
}

void VariableForm::toggleSecondVariable()
{
    // The box's own state is not consulted: the lock of Text4 is what decides.
    setSecondVariableOpen(Text4.isReadOnly());
}

QString VariableForm::chooseFile()
{
    OpenFileRequest request;
    request.title = OpenTitle;
    request.defaultSuffix = QStringLiteral("avi");
    request.filter = OpenFilter;
    request.directory = QDir::rootPath();
    return m_dialogs.openFile(nullptr, request);
}

void VariableForm::setStudy(const QStringList &variables, const QString &today)
{
    m_study = true;
    const bool two = variables.size() == 2;
    setSecondVariableOpen(two);
    Check1.setChecked(two);
    Check1.setEnabled(false);
    Text2.setText(variables.value(0));
    Text4.setText(variables.value(1));
    // Greyed, so that nobody tries to change what the study fixed.
    for (QLineEdit *fixed : {&Text2, &Text4}) {
        fixed->setReadOnly(true);
        fixed->setEnabled(false);
    }
    // Locked, yet in use: the second variable's box keeps the light fill of an open one.
    m_secondVariable = two;
    Text3.setText(today);
    Text1.setFocus();
}

void VariableForm::ok()
{
    if (m_study && Text1.text().trimmed().isEmpty()) {
        m_dialogs.message(this, ParticipantNeeded);
        return;
    }
    m_record.SubjectName = oneLine(Text1.text());
    m_record.Variable = oneLine(Text2.text());
    m_record.DateText = oneLine(Text3.text());
    m_record.Variable2Enabled = m_study ? m_secondVariable : !Text4.isReadOnly();
    m_record.Variable2 = m_record.Variable2Enabled ? oneLine(Text4.text()) : QString();
    hide();
    if (m_study) {
        emit recordReady();
        return;
    }

    QString path = chooseFile();
    if (path.isEmpty()) {
        m_dialogs.message(nullptr, PleaseOpenAFile);
        // The second answer stands, whatever it is.
        path = chooseFile();
    }
    m_record.FileFullPath = path;
    emit recordReady();
}

void VariableForm::cancel()
{
    emit closeAllRequested();
}

void VariableForm::help()
{
    m_dialogs.message(this, QStringLiteral("Please contact ") + ContactAddress +
                                QStringLiteral(" with any questions/comments."));
}

void VariableForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Before "Ok" this is the only window: closing it ends the program, as "Cancel" does.
    emit closeAllRequested();
}

#include "moc_variableform.cpp"

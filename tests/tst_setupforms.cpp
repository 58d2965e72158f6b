#include "fakedialogs.h"
#include "instructionsform.h"
#include "setuprecord.h"
#include "variableform.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

template <typename T> T *control(QWidget &form, const char *name)
{
    auto *found = form.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QColor fill(QLineEdit *edit)
{
    return edit->palette().color(QPalette::Base);
}

} // namespace

class TestSetupForms : public QObject
{
    Q_OBJECT
private slots:
    void startingState();
    void geometry_data();
    void geometry();
    void secondVariableRoundTrip();
    void okWithEverythingEmpty();
    void okWithSecondVariableEmpty();
    void secondFileAttempt_data();
    void secondFileAttempt();
    void formIsHiddenWhileChoosing();
    void helpChangesNothing();
    void cancelAndFrameCloseEndTheProgram();
    void instructionsScreen_data();
    void instructionsScreen();
    void instructionsFrameCloseEndsProgram();
};

void TestSetupForms::startingState()
{
    FakeDialogs dialogs;
    VariableForm form(dialogs);
    QCOMPARE(form.windowTitle(), QStringLiteral("Variables"));
    for (const char *name : {"Text1", "Text2", "Text3", "Text4"})
        QVERIFY(control<QLineEdit>(form, name)->text().isEmpty());
    QLineEdit *text4 = control<QLineEdit>(form, "Text4");
    QVERIFY(text4->isReadOnly());
    QVERIFY(!control<QCheckBox>(form, "Check1")->isChecked());
    QVERIFY(fill(text4).lightness() < fill(control<QLineEdit>(form, "Text1")).lightness());

    // Screens are windows, not dialogs: Enter and Escape press nothing.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(form, "Text1"));
    QSignalSpy ready(&form, &VariableForm::recordReady);
    QSignalSpy closing(&form, &VariableForm::closeAllRequested);
    QTest::keyClick(control<QLineEdit>(form, "Text1"), Qt::Key_Return);
    QTest::keyClick(control<QLineEdit>(form, "Text1"), Qt::Key_Escape);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(closing.count(), 0);
    QVERIFY(dialogs.openRequests.isEmpty());

    // Tab order: Text1, Text2, Text3, Ok, Cancel, Help; the locked box and the check box last.
    QStringList order;
    QWidget *w = control<QLineEdit>(form, "Text1");
    for (int i = 0; i < 8; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
    }
    QCOMPARE(order, (QStringList{"Text1", "Text2", "Text3", "Command1", "Command2", "Command3",
                                 "Text4", "Check1"}));
}

void TestSetupForms::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QString>("text");

    QTest::newRow("Label1") << "Label1" << QRect(8, 8, 73, 25) << "Subject Name";
    QTest::newRow("Text1") << "Text1" << QRect(8, 24, 321, 25) << "";
    QTest::newRow("Label5") << "Label5" << QRect(8, 56, 57, 17) << "Variable 1";
    QTest::newRow("Label2") << "Label2" << QRect(8, 104, 185, 25) << "Variable 2 (optional)";
    QTest::newRow("Label6") << "Label6" << QRect(240, 104, 89, 17) << "For 2 Variables";
    QTest::newRow("Check1") << "Check1" << QRect(312, 104, 17, 17) << "";
    QTest::newRow("Text4") << "Text4" << QRect(8, 120, 321, 25) << "";
    QTest::newRow("Label3") << "Label3" << QRect(8, 152, 33, 25) << "Date";
    QTest::newRow("Command3") << "Command3" << QRect(8, 200, 73, 25) << "Help";
    QTest::newRow("Command1") << "Command1" << QRect(192, 200, 65, 25) << "Ok";
    QTest::newRow("Command2") << "Command2" << QRect(264, 200, 65, 25) << "Cancel";
}

void TestSetupForms::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    QFETCH(QString, text);

    FakeDialogs dialogs;
    VariableForm form(dialogs);
    QCOMPARE(form.size(), QSize(337, 236));
    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), pixels);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
}

void TestSetupForms::secondVariableRoundTrip()
{
    FakeDialogs dialogs;
    VariableForm form(dialogs);
    form.show();
    auto *check = control<QCheckBox>(form, "Check1");
    auto *text4 = control<QLineEdit>(form, "Text4");
    const QColor dark = fill(text4);

    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(check->isChecked());
    QVERIFY(!text4->isReadOnly());
    QVERIFY(fill(text4).lightness() > dark.lightness());
    text4->setFocus();
    QTest::keyClicks(text4, "Stress");
    QCOMPARE(text4->text(), QStringLiteral("Stress"));

    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(!check->isChecked());
    QVERIFY(text4->isReadOnly());
    QVERIFY(text4->text().isEmpty());
    QCOMPARE(fill(text4), dark);
    // Locked: typing does nothing.
    QTest::keyClicks(text4, "x");
    QVERIFY(text4->text().isEmpty());

    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(!text4->isReadOnly());
    QVERIFY(text4->text().isEmpty());
}

void TestSetupForms::okWithEverythingEmpty()
{
    FakeDialogs dialogs;
    dialogs.openAnswers = {"/clips/a.avi"};
    VariableForm form(dialogs);
    QSignalSpy ready(&form, &VariableForm::recordReady);
    control<QPushButton>(form, "Command1")->click();

    QCOMPARE(ready.count(), 1);
    const SetupRecord &r = form.record();
    QVERIFY(r.SubjectName.isEmpty() && r.Variable.isEmpty() && r.DateText.isEmpty() &&
            r.Variable2.isEmpty());
    QVERIFY(!r.Variable2Enabled);
    QCOMPARE(r.FileFullPath, QStringLiteral("/clips/a.avi"));
    QVERIFY(dialogs.messages.isEmpty());

    QCOMPARE(dialogs.openRequests.size(), 1);
    const OpenFileRequest &request = dialogs.openRequests.first();
    QCOMPARE(request.title, QStringLiteral("Please Select the Movie or Sound File"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("avi"));
    QCOMPARE(request.directory, QStringLiteral("/"));
    QCOMPARE(request.filter, QStringLiteral("Movie Files (*.avi,*.mpg,*.mpeg,*.wmv)|*.avi;*.mpg;"
                                            "*.mpeg;*.wmv|MP3/Wav Sound Files (*.mp3;*.wav)|"
                                            "*.mp3;*.wav|"));
}

void TestSetupForms::okWithSecondVariableEmpty()
{
    FakeDialogs dialogs;
    dialogs.openAnswers = {"/c.wav"};
    VariableForm form(dialogs);
    control<QLineEdit>(form, "Text1")->setText(" Ann ");
    control<QLineEdit>(form, "Text2")->setText("Trust,1");
    control<QLineEdit>(form, "Text3")->setText("not a date");
    control<QCheckBox>(form, "Check1")->click();
    control<QPushButton>(form, "Command1")->click();

    const SetupRecord &r = form.record();
    QCOMPARE(r.SubjectName, QStringLiteral(" Ann "));
    QCOMPARE(r.Variable, QStringLiteral("Trust,1"));
    QCOMPARE(r.DateText, QStringLiteral("not a date"));
    QVERIFY(r.Variable2Enabled);
    QVERIFY(r.Variable2.isEmpty());
}

void TestSetupForms::secondFileAttempt_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("dialogsShown");

    QTest::newRow("first choice") << QStringList{"/x.mp3"} << "/x.mp3" << 1;
    QTest::newRow("cancel, then a file") << QStringList{"", "/y.wmv"} << "/y.wmv" << 2;
    QTest::newRow("cancel twice") << QStringList{"", ""} << "" << 2;
}

void TestSetupForms::secondFileAttempt()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, path);
    QFETCH(int, dialogsShown);

    FakeDialogs dialogs;
    dialogs.openAnswers = answers;
    VariableForm form(dialogs);
    QSignalSpy ready(&form, &VariableForm::recordReady);
    form.ok();

    QCOMPARE(dialogs.openRequests.size(), dialogsShown);
    QCOMPARE(dialogs.messages,
             dialogsShown == 2 ? QStringList{"Please open a file!"} : QStringList{});
    QCOMPARE(form.record().FileFullPath, path);
    // The instructions follow even without a file.
    QCOMPARE(ready.count(), 1);
}

void TestSetupForms::formIsHiddenWhileChoosing()
{
    FakeDialogs dialogs;
    VariableForm form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    bool visibleDuringDialog = true;
    dialogs.onMessage = [&](const QString &) { visibleDuringDialog = form.isVisible(); };
    form.ok();
    QVERIFY(!visibleDuringDialog);
    QVERIFY(!form.isVisible());
}

void TestSetupForms::helpChangesNothing()
{
    FakeDialogs dialogs;
    VariableForm form(dialogs);
    control<QLineEdit>(form, "Text1")->setText("Ann");
    control<QCheckBox>(form, "Check1")->click();
    control<QLineEdit>(form, "Text4")->setText("Fear");
    QSignalSpy ready(&form, &VariableForm::recordReady);
    control<QPushButton>(form, "Command3")->click();

    QCOMPARE(dialogs.messages,
             QStringList{"Please contact " + ContactAddress + " with any questions/comments."});
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QStringLiteral("Ann"));
    QCOMPARE(control<QLineEdit>(form, "Text4")->text(), QStringLiteral("Fear"));
    QVERIFY(!control<QLineEdit>(form, "Text4")->isReadOnly());
    QVERIFY(dialogs.openRequests.isEmpty());
    QCOMPARE(ready.count(), 0);
}

void TestSetupForms::cancelAndFrameCloseEndTheProgram()
{
    FakeDialogs dialogs;
    VariableForm form(dialogs);
    QSignalSpy closing(&form, &VariableForm::closeAllRequested);
    control<QPushButton>(form, "Command2")->click();
    QCOMPARE(closing.count(), 1);
    QVERIFY(dialogs.openRequests.isEmpty());

    VariableForm framed(dialogs);
    framed.show();
    QSignalSpy framedClosing(&framed, &VariableForm::closeAllRequested);
    framed.close();
    QCOMPARE(framedClosing.count(), 1);
}

void TestSetupForms::instructionsScreen_data()
{
    QTest::addColumn<bool>("two");
    QTest::addColumn<QByteArray>("file"); // null: no file
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("variables");

    QTest::newRow("one variable, no file") << false << QByteArray() << ""
                                           << "Today's Variable is Trust";
    QTest::newRow("two variables, with file")
        << true << QByteArray("Press the buttons.\r\nCaf\xE9") << "Press the buttons.\r\nCaf\u00E9"
        << "Today's Variable's are Trust and Fear";
}

void TestSetupForms::instructionsScreen()
{
    QFETCH(bool, two);
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QFETCH(QString, variables);

    QTemporaryDir dir;
    if (!file.isNull()) {
        QFile f(dir.filePath("Instructions.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    SetupRecord record;
    record.SubjectName = "Ann";
    record.Variable = "Trust";
    record.Variable2 = two ? "Fear" : "";
    record.Variable2Enabled = two;
    InstructionsForm form(record, dir.path());

    QCOMPARE(form.windowTitle(), QStringLiteral("Instructions"));
    QCOMPARE(form.size(), QSize(473, 507));
    QCOMPARE(control<QLabel>(form, "Label1")->text(), text);
    QCOMPARE(control<QLabel>(form, "Label1")->geometry(), QRect(16, 16, 441, 337));
    QCOMPARE(control<QLabel>(form, "Label3")->text(), variables);
    QCOMPARE(control<QLabel>(form, "Label2")->text(), QStringLiteral("Good luck Ann"));

    QSignalSpy proceed(&form, &InstructionsForm::proceedPressed);
    QSignalSpy closing(&form, &InstructionsForm::closeAllRequested);
    auto *button = control<QPushButton>(form, "Command1");
    QCOMPARE(button->text(), QStringLiteral("Proceed"));
    button->click();
    QCOMPARE(proceed.count(), 1);
    // Closed after "Proceed" by the order of screens: the run goes on.
    form.close();
    QCOMPARE(closing.count(), 0);
}

void TestSetupForms::instructionsFrameCloseEndsProgram()
{
    SetupRecord record;
    InstructionsForm form(record, QStringLiteral("/nonexistent"));
    form.show();
    QSignalSpy closing(&form, &InstructionsForm::closeAllRequested);
    form.close();
    QCOMPARE(closing.count(), 1);
}

QTEST_MAIN(TestSetupForms)
#include "tst_setupforms.moc"

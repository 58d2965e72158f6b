#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "instructionsform.h"
#include "mainform.h"
#include "outputform.h"
#include "setuprecord.h"
#include "variableform.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

// Every control a person can use or read has a name a screen reader can say, even where its
// caption is empty.
class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void namedControls_data();
    void namedControls();
};

namespace {

SetupRecord emptyNames()
{
    SetupRecord record;
    record.Variable2Enabled = true;
    return record;
}

QStringList unnamed(QWidget &screen)
{
    QStringList missing;
    for (QWidget *w : screen.findChildren<QWidget *>()) {
        const bool control =
            qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
            qobject_cast<QAbstractSlider *>(w) || w->inherits("LevelChart") ||
            (qobject_cast<QFrame *>(w) && !qobject_cast<QLabel *>(w) && !w->objectName().isEmpty());
        // What is hidden is not offered to a screen reader.
        if (!control || !w->isVisibleTo(&screen))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            missing << (w->objectName().isEmpty()
                            ? QString::fromLatin1(w->metaObject()->className())
                            : w->objectName());
    }
    return missing;
}

} // namespace

void TestAccessibility::namedControls_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("setup form") << "VariableForm";
    QTest::newRow("instructions") << "InstructionsForm";
    QTest::newRow("rating screen, empty names") << "MainForm";
    QTest::newRow("results screen") << "OutputForm";
}

void TestAccessibility::namedControls()
{
    QFETCH(QString, screen);
    const SetupRecord record = emptyNames();
    FakeDialogs dialogs;
    FakeMediaPlayer player;
    std::unique_ptr<QWidget> form;
    if (screen == "VariableForm")
        form = std::make_unique<VariableForm>(dialogs);
    else if (screen == "InstructionsForm")
        form = std::make_unique<InstructionsForm>(record, QStringLiteral("/nonexistent"));
    else if (screen == "MainForm") {
        auto rating = std::make_unique<MainForm>(record, player, dialogs);
        // Light one segment of each meter so that segments are checked too.
        rating->press(Rating::Button::Increase1);
        rating->press(Rating::Button::Decrease2);
        form = std::move(rating);
    } else
        form = std::make_unique<OutputForm>(record, dialogs, QStringLiteral("/nonexistent"),
                                            [] { return 0.0; });
    form->show();
    const QStringList missing = unnamed(*form);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"

#include "exports.h"
#include "setuprecord.h"

#include <QTest>

class TestExports : public QObject
{
    Q_OBJECT
private slots:
    void defaultName_data();
    void defaultName();
    void imageSize_data();
    void imageSize();
};

void TestExports::defaultName_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<bool>("twoVariables");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("picture, one variable") << "Ann"
                                           << "Trust" << false << ".jpg"
                                           << "Ann Trust.jpg";
    QTest::newRow("spreadsheet, one variable") << "Ann"
                                               << "Trust" << false << ".csv"
                                               << "Ann Trust.csv";
    QTest::newRow("picture, second variable left out") << "Ann"
                                                       << "Trust" << true << ".jpg"
                                                       << "Ann Trust.jpg";
    QTest::newRow("spreadsheet, second variable left out") << "Ann"
                                                           << "Trust" << true << ".csv"
                                                           << "Ann Trust.csv";
    QTest::newRow("empty subject keeps the blank") << ""
                                                   << "Trust" << false << ".csv"
                                                   << " Trust.csv";
    QTest::newRow("empty variable keeps the blank") << "Ann"
                                                    << "" << false << ".jpg"
                                                    << "Ann .jpg";
    // Names are used as typed: blanks around them are not trimmed away.
    QTest::newRow("blanks kept as typed") << " Ann "
                                          << "Trust " << true << ".csv"
                                          << " Ann  Trust .csv";
}

void TestExports::defaultName()
{
    QFETCH(QString, subject);
    QFETCH(QString, variable);
    QFETCH(bool, twoVariables);
    QFETCH(QString, extension);
    QFETCH(QString, expected);

    SetupRecord record;
    record.SubjectName = subject;
    record.Variable = variable;
    record.Variable2Enabled = twoVariables;
    record.Variable2 = twoVariables ? QStringLiteral("Calm") : QString();
    record.DateText = QStringLiteral("12/03/2024");
    record.FileFullPath = QStringLiteral("/clips/interview.avi");

    QCOMPARE(Exports::defaultName(record, extension), expected);
}

void TestExports::imageSize_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<float>("twips");
    QTest::addColumn<QSize>("pixels");

    // 50 twips a second on top of 10000; 15 twips a pixel, rounded; always 7575 twips high.
    QTest::newRow("no length") << 0.0 << 10000.0f << QSize(667, 505);
    QTest::newRow("one minute") << 60.0 << 13000.0f << QSize(867, 505);
    QTest::newRow("fifteen minutes") << 900.0 << 55000.0f << QSize(3667, 505);
    QTest::newRow("longest clip accepted") << 901.0 << 55050.0f << QSize(3670, 505);
    QTest::newRow("fraction of a second counts, rounded down")
        << 30.5 << 11525.0f << QSize(768, 505);
    QTest::newRow("one second, whole pixels") << 1.0 << 10050.0f << QSize(670, 505);
}

void TestExports::imageSize()
{
    QFETCH(double, seconds);
    QFETCH(float, twips);
    QFETCH(QSize, pixels);

    QCOMPARE(Exports::imageWidthTwips(seconds), twips);
    QCOMPARE(Exports::imageSize(seconds), pixels);
}

QTEST_APPLESS_MAIN(TestExports)
#include "tst_exports.moc"

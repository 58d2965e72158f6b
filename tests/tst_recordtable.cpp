#include "recordtable.h"

#include <QLocale>
#include <QTest>

class TestRecordTable : public QObject
{
    Q_OBJECT
private slots:
    void sizing_data();
    void sizing();
    void recording_data();
    void recording();
    void exactLengthGetsExtraRow();
    void lengthCaption_data();
    void lengthCaption();
};

void TestRecordTable::sizing_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<bool>("refused");

    QTest::newRow("0.4") << 0.4 << 61 << false;
    QTest::newRow("60.5") << 60.5 << 61 << false;
    QTest::newRow("61.0 exactly") << 61.0 << 70 << false;
    QTest::newRow("61.5") << 61.5 << 121 << false;
    QTest::newRow("just over 61") << 61.000001 << 121 << false;
    QTest::newRow("121.0 exactly") << 121.0 << 121 << false;
    QTest::newRow("121.01") << 121.01 << 181 << false;
    QTest::newRow("181.0 exactly") << 181.0 << 181 << false;
    QTest::newRow("780") << 780.0 << 781 << false;
    QTest::newRow("800") << 800.0 << 841 << false;
    QTest::newRow("841.0 exactly") << 841.0 << 841 << false;
    QTest::newRow("850") << 850.0 << 901 << false;
    QTest::newRow("900") << 900.0 << 901 << false;
    QTest::newRow("901.0 accepted") << 901.0 << 901 << false;
    QTest::newRow("901.01 refused") << 901.01 << 901 << true;
    QTest::newRow("two hours refused") << 7200.0 << 901 << true;
}

void TestRecordTable::sizing()
{
    QFETCH(double, seconds);
    QFETCH(int, lastRow);
    QFETCH(bool, refused);

    QCOMPARE(Recording::lastRowForLength(seconds), lastRow);
    QCOMPARE(Recording::isTooLong(seconds), refused);
}

void TestRecordTable::recording_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("ticks");

    // The k-th tick stores row k + 1; the clip's whole seconds give the number of ticks.
    QTest::newRow("0.4 s: one tick") << 0.4 << 1;
    QTest::newRow("3.5 s: three ticks") << 3.5 << 3;
    QTest::newRow("30 s") << 30.0 << 30;
    QTest::newRow("60.5 s fills the last row") << 60.5 << 60;
    QTest::newRow("61.0 s") << 61.0 << 61;
    QTest::newRow("900.9 s") << 900.9 << 900;
}

void TestRecordTable::recording()
{
    QFETCH(double, seconds);
    QFETCH(int, ticks);

    const int lastRow = Recording::lastRowForLength(seconds);
    RecordTable table(lastRow);
    qint16 recordRow = 1;
    for (int tick = 1; tick <= ticks; ++tick) {
        const auto level1 = static_cast<qint16>(tick % 11 - 5);
        const auto level2 = static_cast<qint16>(5 - tick % 11);
        const bool last = Recording::recordSample(table, recordRow, seconds, level1, level2);
        QCOMPARE(last, tick == ticks);
        QCOMPARE(recordRow, tick + 1);
        QCOMPARE(table.cell(tick + 1, 1), std::optional<qint16>(level1));
        QCOMPARE(table.cell(tick + 1, 2), std::optional<qint16>(level2));
    }
    QCOMPARE(table.lastRow(), lastRow);
    QVERIFY(!table.cell(1, 1) && !table.cell(1, 2));
    for (int row = ticks + 2; row <= lastRow; ++row)
        QVERIFY2(!table.cell(row, 1) && !table.cell(row, 2), qPrintable(QString::number(row)));
    // Only columns 1 and 2 are used.
    for (int column = RecordTable::FirstColumn; column <= RecordTable::LastColumn; ++column) {
        if (column != 1 && column != 2)
            QVERIFY(!table.cell(2, column));
    }
}

void TestRecordTable::exactLengthGetsExtraRow()
{
    for (double seconds : {121.0, 181.0, 841.0, 901.0}) {
        RecordTable table(Recording::lastRowForLength(seconds));
        QCOMPARE(table.lastRow(), int(seconds));
        qint16 recordRow = 1;
        bool last = false;
        while (!last)
            last = Recording::recordSample(table, recordRow, seconds, 3, -2);
        // The last sample falls one row past the table as sized; the table grows to take it.
        QCOMPARE(recordRow, int(seconds) + 1);
        QCOMPARE(table.lastRow(), int(seconds) + 1);
        QCOMPARE(table.cell(recordRow, 1), std::optional<qint16>(3));
        QCOMPARE(table.cell(recordRow, 2), std::optional<qint16>(-2));
    }
}

void TestRecordTable::lengthCaption_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("caption"); // with '.' standing for the decimal separator

    QTest::newRow("whole") << 61.0 << "61";
    QTest::newRow("half") << 60.5 << "60.5";
    QTest::newRow("no trailing zeros") << 3.25 << "3.25";
    QTest::newRow("fifteen digits at most") << 1.0 / 3.0 << "0.333333333333333";
    QTest::newRow("no group separator") << 1234.5 << "1234.5";
}

void TestRecordTable::lengthCaption()
{
    QFETCH(double, seconds);
    QFETCH(QString, caption);

    const QString separator = QLocale().decimalPoint();
    QCOMPARE(Recording::lengthCaption(seconds),
             QString(caption).replace(QLatin1Char('.'), separator));

    // A German user sees a decimal comma.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = Recording::lengthCaption(seconds);
    QLocale::setDefault(saved);
    QCOMPARE(german, QString(caption).replace(QLatin1Char('.'), QLatin1Char(',')));
}

QTEST_APPLESS_MAIN(TestRecordTable)
#include "tst_recordtable.moc"

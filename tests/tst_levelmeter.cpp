#include "levelmeter.h"

#include <QTest>

class TestLevelMeter : public QObject
{
    Q_OBJECT
private slots:
    void lit_data();
    void lit();
    void colours();
};

void TestLevelMeter::lit_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("pattern"); // top row to bottom row, X lit

    QTest::newRow("+5") << 5 << "XXXXX.....";
    QTest::newRow("+4") << 4 << ".XXXX.....";
    QTest::newRow("+3") << 3 << "..XXX.....";
    QTest::newRow("+2") << 2 << "...XX.....";
    QTest::newRow("+1") << 1 << "....X.....";
    QTest::newRow("0") << 0 << "..........";
    QTest::newRow("-1") << -1 << ".....X....";
    QTest::newRow("-2") << -2 << ".....XX...";
    QTest::newRow("-3") << -3 << ".....XXX..";
    QTest::newRow("-4") << -4 << ".....XXXX.";
    QTest::newRow("-5") << -5 << ".....XXXXX";
}

void TestLevelMeter::lit()
{
    QFETCH(int, level);
    QFETCH(QString, pattern);

    QString shown;
    for (int i = 0; i < LevelMeter::SegmentCount; ++i)
        shown += LevelMeter::isLit(level, i) ? QLatin1Char('X') : QLatin1Char('.');
    QCOMPARE(shown, pattern);
}

void TestLevelMeter::colours()
{
    // Mirrored around the mark: red, orange, yellow, green, blue, then back.
    const QList<QColor> expected = {QColor(254, 0, 0), QColor(248, 108, 23), QColor(255, 255, 0),
                                    QColor(0, 255, 1), QColor(0, 0, 254),    QColor(0, 0, 254),
                                    QColor(0, 255, 1), QColor(255, 255, 0),  QColor(248, 108, 23),
                                    QColor(254, 0, 0)};
    for (int i = 0; i < LevelMeter::SegmentCount; ++i)
        QCOMPARE(LevelMeter::segmentColor(i), expected[i]);
}

QTEST_APPLESS_MAIN(TestLevelMeter)
#include "tst_levelmeter.moc"

#include "ratingstate.h"
#include "setuprecord.h"

#include <QTest>

#include <limits>

using Rating::Button;

Q_DECLARE_METATYPE(Button)

class TestRatingState : public QObject
{
    Q_OBJECT
private slots:
    void press_data();
    void press();
    void counterStopsAtLimit();
    void fallBack_data();
    void fallBack();
    void secondLevelOnlyWithTwoVariables();
    void captions_data();
    void captions();
};

void TestRatingState::press_data()
{
    QTest::addColumn<Button>("button");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("expected");

    QTest::newRow("increase 1 from 0") << Button::Increase1 << 0 << 1;
    QTest::newRow("increase 1 below the top") << Button::Increase1 << 4 << 5;
    QTest::newRow("increase 1 at the top stays") << Button::Increase1 << 5 << 5;
    QTest::newRow("decrease 1 from 0") << Button::Decrease1 << 0 << -1;
    QTest::newRow("decrease 1 above the bottom") << Button::Decrease1 << -4 << -5;
    QTest::newRow("decrease 1 at the bottom stays") << Button::Decrease1 << -5 << -5;
    QTest::newRow("increase 2 from -5") << Button::Increase2 << -5 << -4;
    QTest::newRow("increase 2 at the top stays") << Button::Increase2 << 5 << 5;
    QTest::newRow("decrease 2 from +5") << Button::Decrease2 << 5 << 4;
    QTest::newRow("decrease 2 at the bottom stays") << Button::Decrease2 << -5 << -5;
}

void TestRatingState::press()
{
    QFETCH(Button, button);
    QFETCH(int, level);
    QFETCH(int, expected);

    const bool first = button == Button::Increase1 || button == Button::Decrease1;
    RatingState state;
    state.TwoVariables = true;
    (first ? state.Level1 : state.Level2) = static_cast<qint16>(level);
    Rating::press(state, button);

    QCOMPARE((first ? state.Level1 : state.Level2), expected);
    // The other level is untouched, and exactly the pressed button's counter counts, also when
    // the level could not move.
    QCOMPARE((first ? state.Level2 : state.Level1), 0);
    const QList<int> counters = {state.IncreaseClicks1, state.DecreaseClicks1,
                                 state.IncreaseClicks2, state.DecreaseClicks2};
    QList<int> expectedCounters = {0, 0, 0, 0};
    expectedCounters[static_cast<int>(button)] = 1;
    QCOMPARE(counters, expectedCounters);
}

void TestRatingState::counterStopsAtLimit()
{
    RatingState state;
    state.IncreaseClicks1 = std::numeric_limits<qint16>::max() - 1;
    state.Level1 = 2;
    Rating::press(state, Button::Increase1);
    QCOMPARE(state.IncreaseClicks1, std::numeric_limits<qint16>::max());
    Rating::press(state, Button::Increase1);
    // No wrap to a negative count, and the press still moves the level.
    QCOMPARE(state.IncreaseClicks1, std::numeric_limits<qint16>::max());
    QCOMPARE(state.Level1, 4);
}

void TestRatingState::fallBack_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("twoVariables");
    QTest::addColumn<QList<int>>("afterTicks");

    QTest::newRow("-3 rises to 0 and stays") << -3 << true << QList<int>{-2, -1, 0, 0};
    QTest::newRow("+1 falls to 0, never below") << 1 << true << QList<int>{0, 0};
    QTest::newRow("+5 falls one step a tick") << 5 << true << QList<int>{4, 3, 2, 1, 0, 0};
    QTest::newRow("0 stays") << 0 << false << QList<int>{0, 0};
}

void TestRatingState::secondLevelOnlyWithTwoVariables()
{
    RatingState state;
    state.TwoVariables = false;
    state.Level1 = 2;
    state.Level2 = 3; // cannot arise with one variable; shows that the tick leaves it alone
    Rating::fallBack(state);
    QCOMPARE(state.Level1, 1);
    QCOMPARE(state.Level2, 3);
}

void TestRatingState::fallBack()
{
    QFETCH(int, level);
    QFETCH(bool, twoVariables);
    QFETCH(QList<int>, afterTicks);

    RatingState state;
    state.TwoVariables = twoVariables;
    state.Level1 = static_cast<qint16>(level);
    state.Level2 = static_cast<qint16>(-level);
    for (int expected : afterTicks) {
        Rating::fallBack(state);
        QCOMPARE(state.Level1, expected);
        QCOMPARE(state.Level2, -expected);
    }
}

void TestRatingState::captions_data()
{
    QTest::addColumn<QString>("v1");
    QTest::addColumn<QString>("v2");
    QTest::addColumn<bool>("two");
    QTest::addColumn<QStringList>("expected"); // increase1, decrease1, increase2, decrease2, title

    QTest::newRow("two variables")
        << "Mood"
        << "Stress" << true
        << QStringList{"Increase Mood", "Decrease Mood", "Increase Stress", "Decrease Stress",
                       "Level of Mood vs. Stress"};
    QTest::newRow("one variable") << "Mood"
                                  << "" << false
                                  << QStringList{"Increase Mood", "Decrease Mood", "", "",
                                                 "Level of Mood"};
    QTest::newRow("empty names, one variable")
        << ""
        << "" << false << QStringList{"Increase ", "Decrease ", "", "", "Level of "};
    QTest::newRow("empty names, two variables")
        << ""
        << "" << true
        << QStringList{"Increase ", "Decrease ", "Increase ", "Decrease ", "Level of  vs. "};
    QTest::newRow("names keep their blanks")
        << " a "
        << "b," << true
        << QStringList{"Increase  a ", "Decrease  a ", "Increase b,", "Decrease b,",
                       "Level of  a  vs. b,"};
}

void TestRatingState::captions()
{
    QFETCH(QString, v1);
    QFETCH(QString, v2);
    QFETCH(bool, two);
    QFETCH(QStringList, expected);

    SetupRecord record;
    record.Variable = v1;
    record.Variable2 = v2;
    record.Variable2Enabled = two;
    const Rating::Captions c = Rating::captions(record);
    QCOMPARE((QStringList{c.increase1, c.decrease1, c.increase2, c.decrease2, c.title}), expected);
}

QTEST_APPLESS_MAIN(TestRatingState)
#include "tst_ratingstate.moc"

// dialtrace-eventcheck RESULTS.csv [--on-time] [--counts I1,D1,I2,D2]: checks the event log
// beside a results file as the unit tests check theirs, for the whole runs of the real program.
// Prints every problem and exits 1 where there is one.

#include "eventcheck.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QTextStream out(stdout);
    const bool onTime = arguments.removeAll(QStringLiteral("--on-time")) > 0;
    EventCheck::Counts counts{};
    bool withCounts = false;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--counts")); at >= 0) {
        const QStringList given = arguments.value(at + 1).split(QLatin1Char(','));
        for (std::size_t i = 0; i < counts.size(); ++i)
            counts[i] = given.value(qsizetype(i)).toInt();
        withCounts = true;
        arguments.remove(at, 2);
    }
    if (arguments.size() != 1) {
        out << "usage: dialtrace-eventcheck RESULTS.csv [--on-time] [--counts I1,D1,I2,D2]\n";
        return 2;
    }
    const QStringList found =
        EventCheck::fileProblems(arguments[0], withCounts ? &counts : nullptr, onTime);
    for (const QString &line : found)
        out << line << '\n';
    return found.isEmpty() ? 0 : 1;
}

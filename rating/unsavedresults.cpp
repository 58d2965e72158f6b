#include "recovery.h"

#include "eventlog.h"
#include "files.h"
#include "disk.h"
#include "resultsfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString NoticeName = QStringLiteral("unsaved.dialtrace-notice");

} // namespace

namespace UnsavedResults {

bool keep(const QString &directory, QString *keptName, QString *error)
{
    keptName->clear();
    const QString path = ResultsFile::path(directory);
    // Nothing there, or nothing the results file could be written over anyway.
    if (!Files::isPlainFileHere(path))
        return true;
    QByteArray bytes;
    if (!Files::readPlainFile(path, &bytes)) {
        *error = QStringLiteral("It cannot be read.");
        return false;
    }
    Files::NamedBytes files = {{ResultsFile::Suffix, bytes}};
    QByteArray events;
    if (Files::readPlainFile(EventLog::pathBeside(path), &events))
        files.append({EventLog::Suffix, events});
    const QString when = QFileInfo(path).lastModified().toString(ResultsFile::NameDateTime);
    const QString fallback = QStringLiteral("Unsaved run ") + when;
    QString base = fallback;
    ResultsRun run;
    if (ResultsFile::parse(path, bytes, &run, nullptr))
        base = Files::safeFileName(QStringLiteral("Unsaved %1 %2 %3")
                                       .arg(run.subject, run.variables.value(0), when)
                                       .simplified(),
                                   fallback);
    QStringList kept;
    if (!Files::createUniqueFiles(directory, base, fallback, files, &kept, error))
        return false;
    *keptName = QFileInfo(kept.first()).fileName();
    QFile notice(directory + QLatin1Char('/') + NoticeName);
    if (notice.open(QIODevice::WriteOnly | QIODevice::Append))
        notice.write(keptName->toUtf8() + '\n');
    return true;
}

bool writeLastRun(const QString &directory, const QByteArray &results, const QByteArray &events,
                  QString *error)
{
    const QString resultsPath = ResultsFile::path(directory);
    const QString eventsPath = EventLog::pathBeside(resultsPath);
    const auto written = [error](const QString &path, const QByteArray &wanted) {
        QByteArray readBack;
        if (!Files::replacePlainFile(path, wanted, error))
            return false;
        if (Files::readPlainFile(path, &readBack) && readBack == wanted)
            return true;
        *error = QStringLiteral("What was written does not read back the same.");
        return false;
    };
    // The event log goes with its results file, so that neither is ever left beside the other
    // run's.
    QString kept;
    if (!keep(directory, &kept, error)) {
        *error = QStringLiteral("It holds the results of an earlier run that were never "
                                "exported, and they could not be kept under another name: ") +
                 *error;
        return false;
    }
    return Files::removePlainFile(eventsPath, error) && written(resultsPath, results) &&
           written(eventsPath, events);
}

QStringList takeKept(const QString &directory)
{
    // Taken under a name of its own first, so that a name another copy adds meanwhile goes to
    // a notice of its own rather than be lost.
    const QString notice = directory + QLatin1Char('/') + NoticeName;
    const QString taken =
        notice + QLatin1Char('.') + QString::number(QCoreApplication::applicationPid());
    if (!QFile::rename(notice, taken))
        return {};
    QByteArray bytes;
    Files::readPlainFile(taken, &bytes);
    QFile::remove(taken);
    QStringList names;
    for (const QByteArray &line : bytes.split('\n')) {
        const QString name = QString::fromUtf8(line);
        if (!name.isEmpty() && QFileInfo::exists(directory + QLatin1Char('/') + name))
            names << QLatin1Char('"') + name + QLatin1Char('"');
    }
    return names;
}

} // namespace UnsavedResults

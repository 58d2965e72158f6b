#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A study: the clips every participant rates, in an order of their own, and where the results go.
struct Study
{
    QString path; // the study file, absolute
    QString title;
    QStringList variables; // one or two
    QStringList clips;     // as the study file writes them
    QString practice;      // as the study file writes it; empty where there is none
    bool shuffled = false; // a fresh order for each participant, else as listed
    bool showResults = false;
    QString resultsFolder; // absolute

    // A clip as the study file writes it, as a path: relative ones from the study file's folder.
    QString clipPath(const QString &written) const;
};

// The study file, JSON written by hand:
// {"title": "Debate study", "variables": ["Sympathy"], "clips": ["a.mp4", "b.mp4"],
//  "order": "shuffled", "practice": "practice.mp4", "showResults": false, "results": "results"}
// variables (one or two names) and clips (1 to 100 paths) are required; order is "as listed"
// (the default) or "shuffled"; practice, an optional clip rated first by everyone; showResults,
// whether the results screen follows each clip (default false); results, the results folder
// (default "results"). Paths are absolute or from the study file's folder.
namespace StudyFile {

constexpr int MostClips = 100;

// The study in the file at path, or nothing with every problem found, each naming its field, and
// for JSON that cannot be read, its line. Clips and the practice clip must be files that exist.
std::optional<Study> read(const QString &path, QStringList *problems);
std::optional<Study> parse(const QString &path, const QByteArray &bytes, QStringList *problems);

} // namespace StudyFile

#pragma once

#include "inputmode.h"

#include <QList>
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
    enum class Order
    {
        AsListed,
        Shuffled, // a fresh order for each participant by chance
        Balanced, // the rows of a balanced Latin square, taken in turn
        ByHand    // the orders listed in the study file, taken in turn
    };
    Order order = Order::AsListed;
    QList<QStringList> orders; // with ByHand: each a permutation of clips
    bool showResults = false;
    // How every clip of the study is rated.
    InputMode input = InputMode::Steps;
    // The player's own controls (play/pause, the slider) on the rating screen.
    bool pause = false;
    // A clip whose run was interrupted is run again when the participant goes on.
    bool rerunInterrupted = true;
    QString instructions;  // shown instead of Instructions.txt where not empty
    QString resultsFolder; // absolute

    // A clip as the study file writes it, as a path: relative ones from the study file's folder.
    QString clipPath(const QString &written) const;
    // Whether clip, at index of a participant's order, is the practice clip: it comes first.
    bool isPractice(const QString &clip, qsizetype index) const
    {
        return index == 0 && !practice.isEmpty() && clip == practice;
    }
};

// The study file, JSON written by hand:
// {"title": "Debate study", "variables": ["Sympathy"], "clips": ["a.mp4", "b.mp4"],
//  "order": "shuffled", "practice": "practice.mp4", "showResults": false, "results": "results"}
// variables (one or two names, not empty, told apart, without a comma) and clips (1 to 100 paths)
// are required; order is "as listed" (the default), "shuffled" or "balanced", or orders lists the
// orders by hand ([["b.mp4", "a.mp4"], ...], each every clip once); practice, an optional clip
// rated first by everyone; showResults, whether the results screen follows each clip (default
// false); pause, whether the participant has the player's controls (default false);
// rerunInterrupted, whether an interrupted clip is rated again (default true); instructions, the
// text of the instructions screen; results, the results folder (default "results"). Paths are
// absolute or from the study file's folder.
namespace StudyFile {

constexpr int MostClips = 100;

// The study in the file at path, or nothing with every problem found, each naming its field, and
// for JSON that cannot be read, its line. Clips and the practice clip must be files that exist.
std::optional<Study> read(const QString &path, QStringList *problems);
std::optional<Study> parse(const QString &path, const QByteArray &bytes, QStringList *problems);

} // namespace StudyFile

#pragma once

#include "eventlog.h"
#include "ratingstate.h"

#include <QElapsedTimer>
#include <QList>

#include <functional>
#include <optional>

// The events of a run as they happen, stamped on a monotonic clock when they are handled.
class RunEvents
{
public:
    // Milliseconds on a monotonic clock; where none is given, the time since this was made.
    using Clock = std::function<qint64()>;
    explicit RunEvents(Clock clock = {});

    // The recording starts now: the moment the run's clock calls 0. Returns it on the clock.
    qint64 startRecording();
    qint64 origin() const { return m_origin; }

    // The time on the clock.
    qint64 now() const { return m_clock(); }

    // Stamps an event now, or at the moment given, with the levels as they stand after it; the
    // event as it was stamped, on the clock (the run's clock may not have its 0 yet). No event is
    // stamped before the one before it.
    RunEvent add(RunEvent::Kind kind, const RatingState &state, qint64 media, int variable = 0,
                 int row = 0, RunEvent::Source source = RunEvent::Source::None,
                 std::optional<qint64> at = std::nullopt);

    // Every event so far, on the run's clock.
    QList<RunEvent> events() const;

private:
    Clock m_clock;
    QElapsedTimer m_elapsed;
    qint64 m_origin = 0;
    QList<RunEvent> m_stamped;
};

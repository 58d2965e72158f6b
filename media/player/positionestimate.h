#pragma once

#include <QtGlobal>

#include <optional>

// Where a playing clip is between two questions to its pipeline. A question waits on the
// pipeline's streaming threads, which a press must not do; while the clip plays on undisturbed,
// its position moves with the monotonic clock, so the last answer and the time since then tell
// where it is. The clock is trusted only once two answers at least Spacing apart have moved with
// it, never for longer than MaxAge after the last answer, and never again after anything that
// may have moved the clip until two answers agree again. Nanoseconds throughout.
class PositionEstimate
{
public:
    static constexpr qint64 Spacing = 100'000'000;
    static constexpr qint64 Tolerance = 5'000'000;
    static constexpr qint64 MaxAge = 400'000'000;

    // The pipeline said the clip was at position at this moment of the monotonic clock.
    void observe(qint64 position, qint64 moment);
    // Where the clip is at now, if the clock can be trusted; never beyond end, where that is
    // above 0.
    std::optional<qint64> at(qint64 now, qint64 end = 0) const;
    // The clip was played, paused, moved, stopped or changed.
    void forget();

private:
    qint64 m_position = -1;
    qint64 m_moment = 0;
    bool m_steady = false;
};

// Whether a clip that should be playing moves, from the pipeline's position asked now and then
// (negative where it gave none). A clip that stands still for Limit (StartLimit before it first
// moved, which on a busy computer takes a while) is started again once; where that does not
// help either, the stall is reported, once, and further restarts are tried; once the clip moves
// on after the report, that is said once too (Resumed), so that the report can be taken down.
class StallWatch
{
public:
    static constexpr qint64 Limit = 4'000'000'000;
    static constexpr qint64 StartLimit = 15'000'000'000;
    enum class Verdict
    {
        Moving,
        Restart,
        Report,
        Resumed
    };

    // The clip was started, sought or started again at this moment: watching begins afresh.
    void reset(qint64 now);
    Verdict observe(qint64 position, qint64 now);

private:
    qint64 m_position = -1;
    qint64 m_since = 0;
    bool m_moved = false;
    bool m_restarted = false;
    bool m_reported = false;
    bool m_reportStands = false; // reported, and not moved on since
};

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

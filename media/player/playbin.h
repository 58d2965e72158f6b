#pragma once

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// What the player tells of its clips, its decoders and its stalls ("dialtrace.player").
Q_DECLARE_LOGGING_CATEGORY(playerLog)

// How the player sets up GStreamer's playbin, apart from the player's own state.
namespace Playbin {

// How late the pictures reach the screen, and which compressed pictures are therefore skipped
// before they are decoded. Decoding that falls behind the clock (a busy computer) skips the
// pictures no other picture is decoded from, which in an H.264 clip are some four in ten and
// evenly spread; every picture that is decoded is shown, however late, rather than thrown away
// after the work is done. Shared by the picture sink (which measures) and the decoder's input
// (which skips), both on streaming threads.
class Pacer
{
public:
    // Later than this, disposable pictures are skipped until a picture is on time again.
    static constexpr qint64 SkipAfter = 40'000'000;

    // A picture reached the sink this many nanoseconds after its moment (negative: early).
    void shown(qint64 lateness) { m_lateness.store(lateness); }
    // The pipeline was flushed or stopped: what was late is gone.
    void reset() { m_lateness.store(0); }
    // Whether the pictures shown lately came too late: disposable ones are then skipped.
    bool isLate() const { return m_lateness.load() > SkipAfter; }
    void skippedOne() { ++m_skipped; }
    // How many pictures were skipped before decoding, since the player started.
    int skipped() const { return m_skipped.load(); }
    // The decoder of the clip playing, as GStreamer names it, and where it decodes:
    // "avdec_h264, in software".
    QString decoder() const
    {
        std::lock_guard lock(m_mutex);
        return m_decoder;
    }
    void setDecoder(const QString &description)
    {
        std::lock_guard lock(m_mutex);
        m_decoder = description;
    }

private:
    std::atomic<qint64> m_lateness{0};
    std::atomic<int> m_skipped{0};
    mutable std::mutex m_mutex;
    QString m_decoder; // guarded by m_mutex
};

// Whether an H.264 access unit holds only pictures that no other picture refers to (each slice's
// nal_ref_idc is 0). lengthSize is the size of the length before each unit in the "avc" format,
// 0 for start codes ("byte-stream").
bool isDisposableH264(const uchar *data, qsizetype size, int lengthSize);

// A playbin for one clip at a time: picture through the given filter and sink, sound to the
// sound device or, where there is none, a fake sink that keeps the clip's time, volume 50 %, not
// muted; null without GStreamer or its base plug-ins. The pacer skips pictures its decoder
// cannot keep up with.
GstElement *create(GstElement *videoFilter, GstElement *videoSink, Pacer *pacer);

// Puts the sound device's sink, or a fake sink that keeps the clip's time where no device
// answers, into the pipeline's sound branch at its first clip; the pipeline is not running.
void chooseSoundSink(GstElement *pipeline);

// Called for every message of the pipeline, on the thread that posts it: whether the player
// acts on it.
bool acceptMessage(GstMessage *message, GstElement *pipeline);

// A video decoder GStreamer offers, as the start-up check finds it.
struct DecoderCandidate
{
    QByteArray name;
    int rank = 0;
    // On the graphics hardware (VA-API); otherwise in software.
    bool hardware = false;
    // For hardware: whether it opened its device when tried.
    bool opens = false;
};
// The new ranks (name, rank) that make GStreamer decode on the graphics hardware where a
// hardware decoder opens, above every software decoder, and never with one that does not.
inline QList<std::pair<QByteArray, int>> decoderRanks(const QList<DecoderCandidate> &candidates)
{
    int software = 256; // GST_RANK_PRIMARY, the rank of GStreamer's own software decoders
    for (const DecoderCandidate &c : candidates)
        software = c.hardware ? software : std::max(software, c.rank);
    QList<std::pair<QByteArray, int>> ranks;
    for (const DecoderCandidate &c : candidates) {
        if (c.hardware)
            ranks.append({c.name, c.opens ? std::max(c.rank, software + 1) : 0}); // 0: never
    }
    return ranks;
}
// Once a process, from the first player's creation on, on a thread of its own: tries each hardware
// video decoder and ranks them by decoderRanks. Waits for that; the names of those that work.
QList<QByteArray> preferWorkingHardwareDecoders();

// Seeks the pipeline on one of GStreamer's threads: a flushing seek waits for the decoder to
// stop, which at 2160p holds the caller up for tens of milliseconds, and while the slider is
// dragged there would be one after another. Requests that come meanwhile replace each other;
// only the latest is carried out.
class Seeker
{
public:
    explicit Seeker(GstElement *pipeline);
    // Milliseconds; exact seeks decode up to that point, the others go to the nearest key picture.
    void request(qint64 milliseconds, bool exact);
    // Stops the clip and starts it again, on the same thread; nothing where a restart is under
    // way. Seeks requested meanwhile follow it.
    void restart();
    // Forgets a request not yet carried out, as the clip it was for is being stopped; waits for
    // a restart under way.
    void cancel();

    struct State;

private:
    // With the state's mutex held: a thread of GStreamer's carries out what is asked.
    void start();

    GstElement *m_pipeline = nullptr;
    std::shared_ptr<State> m_state;
};

// The clip's length in seconds (0 while unknown); seekable is set where the pipeline says.
double length(GstElement *pipeline, bool *seekable);

// The one place where the pipeline's nanoseconds become the seconds callers see.
double seconds(qint64 nanoseconds);

// A GStreamer error as one sentence a person can read.
QString readableReason(const QString &gstreamerText);

} // namespace Playbin

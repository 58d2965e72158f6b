#include "gstmediaplayer.h"

#include "picturesink.h"
#include "pictureview.h"
#include "playbin.h"
#include "playercontrols.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <QVBoxLayout>

#include <gst/gst.h>

using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(playerLog, "dialtrace.player", QtWarningMsg)

struct GstMediaPlayerBus
{
    // On the thread that posts the message. Nothing is left on the bus, which nobody reads.
    static GstBusSyncReply message(GstBus *, GstMessage *message, gpointer data)
    {
        auto *player = static_cast<GstMediaPlayer *>(data);
        if (Playbin::acceptMessage(message, player->m_pipeline))
            player->postMessage(message);
        return GST_BUS_DROP;
    }
};

GstMediaPlayer::GstMediaPlayer(QObject *parent) : MediaPlayer(parent)
{
    gst_init_check(nullptr, nullptr, nullptr);
    m_pictures = std::make_unique<PictureSink>();
    m_pipeline = Playbin::create(m_pictures->filter(), m_pictures->sink(), &m_pictures->pacer());
    m_seeker = std::make_unique<Playbin::Seeker>(m_pipeline);
    if (m_pipeline) {
        GstBus *bus = gst_element_get_bus(m_pipeline);
        gst_bus_set_sync_handler(bus, &GstMediaPlayerBus::message, this, nullptr);
        gst_object_unref(bus);
    } else {
        qCWarning(playerLog) << "GStreamer, or its playbin, is missing: no clip can play";
    }

    m_clock.start();
    m_progress.setInterval(250ms);
    m_progress.callOnTimeout(this, [this] {
        if (m_duration == 0.0)
            queryLengthAndSeeking();
        updateControls();
    });
    m_stallCheck.setInterval(1s);
    m_stallCheck.callOnTimeout(this, &GstMediaPlayer::watchForStall);
    connect(m_pictures.get(), &PictureSink::pictureReady, this, [this](const QImage &picture) {
        if (!m_active || !m_picture)
            return;
        m_picture->setPicture(picture);
        if (picture.size() != m_shownSize)
            qCInfo(playerLog).noquote() << m_pictures->describe(m_shownSize = picture.size());
        emit pictureShown(picture);
    });
    buildView();
}

GstMediaPlayer::~GstMediaPlayer()
{
    m_active = false;
    if (m_pipeline) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        GstBus *bus = gst_element_get_bus(m_pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(m_pipeline);
    }
    m_pictures.reset();
    // A view nobody adopted, or one still shown after we go, would outlive the player it drives.
    delete m_view.data();
}

void GstMediaPlayer::buildView()
{
    m_view = new QWidget;
    m_picture = new PictureView(m_view);
    m_picture->setObjectName(QStringLiteral("video"));
    m_picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(m_picture, &PictureView::areaChanged, m_pictures.get(), &PictureSink::setArea);
    m_controls = new PlayerControls(m_view);
    m_controls->setObjectName(QLatin1String(ControlsName));

    auto *layout = new QVBoxLayout(m_view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_picture, 1);
    layout->addWidget(m_controls);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    for (QWidget *child : m_view->findChildren<QWidget *>())
        child->setContextMenuPolicy(Qt::NoContextMenu);

    connect(m_controls, &PlayerControls::playPausePressed, this, &GstMediaPlayer::playOrPause);
    connect(m_controls, &PlayerControls::seekRequested, this, &GstMediaPlayer::seek);
    connect(m_controls, &PlayerControls::seekDone, this,
            [this](qint64 ms) { emit controlUsed(Control::Seek, ms / 1000.0); });
    updateControls();
}

void GstMediaPlayer::setUrl(const QString &path)
{
    // Silence the old clip's last reports while it is being replaced.
    stopPipeline();
    ++m_generation;
    m_errorReported = false;
    m_atEnd = false;
    m_seekable = false;
    m_shownSize = QSize();
    setDuration(0.0);

    if (path.isEmpty()) {
        reportErrorLater(QStringLiteral("No file was chosen."));
    } else if (const QFileInfo info(path); !info.exists()) {
        reportErrorLater(QStringLiteral("The file does not exist."));
    } else if (!info.isFile()) {
        reportErrorLater(QStringLiteral("The path names a folder or device, not a file."));
    } else if (!m_pipeline || !m_pictures->sink()) {
        reportErrorLater(QStringLiteral("GStreamer or its base plug-ins are not installed."));
    } else {
        // The screen has placed the view but not shown it yet: lay it out now, so that the
        // first pictures are made at the size shown. A change of size later makes the decoder
        // set up its pictures anew, and for a moment it holds both sets.
        if (m_view->layout())
            m_view->layout()->activate();
        m_pictures->setArea(m_picture->areaInPixels(), m_picture->devicePixelRatioF());
        m_active = true;
        m_playing = true;
        const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded();
        g_object_set(m_pipeline, "uri", uri.constData(), nullptr);
        Playbin::chooseSoundSink(m_pipeline);
        // The decoders are ranked before the clip opens.
        Playbin::preferWorkingHardwareDecoders();
        // Asynchronous: the clip opens on GStreamer's threads, and failures arrive as messages.
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        m_stallWatch = StallWatch();
        m_stallWatch.reset(m_clock.nsecsElapsed());
        m_stallCheck.start();
    }
    updateControls();
}

double GstMediaPlayer::position() const
{
    // A press asks for the position: while the clip plays on, the clock answers without waiting
    // on the pipeline's threads.
    if (m_playing && m_active) {
        const qint64 end = qint64(m_duration * 1e9);
        if (const auto ns = m_estimate.at(m_clock.nsecsElapsed(), end))
            return Playbin::seconds(*ns);
    }
    return queryPosition();
}

double GstMediaPlayer::queryPosition() const
{
    gint64 ns = -1;
    const qint64 before = m_clock.nsecsElapsed();
    if (!m_active || !m_pipeline || !gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &ns) ||
        ns < 0) {
        m_estimate.forget();
        return -1.0;
    }
    if (m_playing)
        m_estimate.observe(ns, (before + m_clock.nsecsElapsed()) / 2);
    else
        m_estimate.forget();
    return Playbin::seconds(ns);
}

void GstMediaPlayer::close()
{
    stopPipeline();
    ++m_generation;
    updateControls();
}

bool GstMediaPlayer::isPlaying() const
{
    if (!m_active || !m_pipeline)
        return false;
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pipeline, &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}

void GstMediaPlayer::stopPipeline()
{
    m_active = false;
    m_playing = false;
    m_progress.stop();
    m_stallCheck.stop();
    m_resumeAt = -1;
    forgetPosition();
    m_seeker->cancel();
    // Synchronous: once it returns no streaming thread runs, so no picture or message of this
    // clip can come after the ones already posted, which the generation then turns away.
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_pictures->discard();
    if (m_picture)
        m_picture->clear();
}

void GstMediaPlayer::postMessage(GstMessage *message)
{
    // On a streaming thread: the message travels with the clip it is about.
    std::shared_ptr<GstMessage> held(gst_message_ref(message), &gst_message_unref);
    QMetaObject::invokeMethod(
        this,
        [this, held, generation = m_generation.load()] {
            if (generation == m_generation.load())
                handleMessage(held.get());
        },
        Qt::QueuedConnection);
}

void GstMediaPlayer::handleMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const QString text = error ? QString::fromUtf8(error->message) : QString();
        g_clear_error(&error);
        failClip(Playbin::readableReason(text));
        return;
    }
    case GST_MESSAGE_EOS:
        forgetPosition();
        // Kept paused on the last picture; Play starts the clip again from the beginning.
        m_atEnd = true;
        m_playing = false;
        m_stallCheck.stop();
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        updateControls();
        emit endReached();
        return;
    case GST_MESSAGE_LATENCY:
        gst_bin_recalculate_latency(GST_BIN(m_pipeline));
        return;
    case GST_MESSAGE_ASYNC_DONE:
        if (m_resumeAt >= 0)
            m_seeker->request(std::exchange(m_resumeAt, -1), true);
        break;
    case GST_MESSAGE_CLOCK_LOST:
        forgetPosition();
        // The sound device that gave the clock went away: choose another.
        if (m_playing) {
            gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
            gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        }
        return;
    case GST_MESSAGE_STATE_CHANGED: {
        // Also where a seek made the pipeline wait for new data: its clock stood still.
        forgetPosition();
        GstState state = GST_STATE_NULL;
        gst_message_parse_state_changed(message, nullptr, &state, nullptr);
        if (state == GST_STATE_PLAYING && m_active)
            m_progress.start();
        else
            m_progress.stop();
        break;
    }
    default:
        break;
    }
    if (m_active)
        queryLengthAndSeeking();
    updateControls();
}

void GstMediaPlayer::playOrPause()
{
    if (!m_active)
        return;
    forgetPosition();
    m_stallWatch.reset(m_clock.nsecsElapsed());
    if (m_playing) {
        m_stallCheck.stop();
        m_playing = false;
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
        emit controlUsed(Control::Pause, position());
    } else {
        // Before playing on: at the end the sinks would report the end again at once. Nothing
        // is decoding, so the seek does not wait.
        if (m_atEnd)
            gst_element_seek_simple(m_pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
        m_atEnd = false;
        m_playing = true;
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        m_stallCheck.start();
        emit controlUsed(Control::Play, position());
    }
    updateControls();
}

void GstMediaPlayer::setPlaying(bool playing)
{
    if (playing != m_playing)
        playOrPause();
}

void GstMediaPlayer::seekTo(double seconds)
{
    seek(qRound64(std::max(seconds, 0.0) * 1000.0), true);
    updateControls();
}

void GstMediaPlayer::seek(qint64 milliseconds, bool exact)
{
    if (!m_active)
        return;
    forgetPosition();
    m_stallWatch.reset(m_clock.nsecsElapsed());
    m_atEnd = false;
    m_seeker->request(milliseconds, exact);
}

void GstMediaPlayer::queryLengthAndSeeking()
{
    if (const double seconds = Playbin::length(m_pipeline, &m_seekable); seconds > 0)
        setDuration(seconds);
}

void GstMediaPlayer::reportError(const QString &reason, quint64 generation)
{
    if (generation != m_generation.load() || m_errorReported)
        return;
    m_errorReported = true;
    emit errorOccurred(reason);
}

void GstMediaPlayer::reportErrorLater(const QString &reason)
{
    // Queued, so a caller of setUrl can connect afterwards and is not re-entered mid-call.
    QMetaObject::invokeMethod(
        this, [this, reason, generation = m_generation.load()] { reportError(reason, generation); },
        Qt::QueuedConnection);
}

void GstMediaPlayer::failClip(const QString &reason)
{
    if (!m_active)
        return;
    // GStreamer follows its first error with more about the same failure; stopping ends them.
    stopPipeline();
    reportError(reason, m_generation.load());
    updateControls();
}

QString GstMediaPlayer::decoder() const
{
    return m_pictures->pacer().decoder();
}

void GstMediaPlayer::watchForStall()
{
    gint64 ns = -1;
    const auto verdict =
        m_stallWatch.observe(gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &ns) ? ns : -1,
                             m_clock.nsecsElapsed());
    if (verdict == StallWatch::Verdict::Resumed)
        m_picture->setNotice(QString());
    if (verdict == StallWatch::Verdict::Moving || verdict == StallWatch::Verdict::Resumed)
        return;
    // Stopped, its threads ended and its sinks closed, then opened again, on a thread of
    // GStreamer's (a stuck thread holds up its stop); on from where it stood once prerolled.
    m_resumeAt = std::max<qint64>(ns / GST_MSECOND, std::max<qint64>(m_resumeAt, 0));
    qCWarning(playerLog) << "the clip stands still at" << m_resumeAt / 1000.0 << "s: started again";
    if (verdict == StallWatch::Verdict::Report) {
        m_picture->setNotice(StalledNotice.arg(m_resumeAt / 1000.0, 0, 'f', 1));
        emit playbackStalled(m_resumeAt / 1000.0);
    }
    forgetPosition();
    m_pictures->pacer().reset();
    m_seeker->restart();
    m_stallWatch.reset(m_clock.nsecsElapsed());
}

void GstMediaPlayer::updateControls()
{
    if (!m_view)
        return;
    const double now = queryPosition();
    m_controls->setState(m_active, m_playing, now > 0 ? qint64(now * 1000.0 + 0.5) : 0,
                         qint64(m_duration * 1000.0 + 0.5), m_seekable);
}

#include "moc_clipplayer.cpp"
#include "moc_gstmediaplayer.cpp"
#include "moc_mediaplayer.cpp"

#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// Writes a clip again as H.264 video and AAC sound in MP4 (headers first, so that a browser plays
// it while loading), every frame at the clip's own size and frame rate with a drawing over its
// lower third; a clip without a picture gets a black picture of SoundOnlyWidth x SoundOnlyHeight
// at SoundOnlyRate over the clip's length, a clip without sound a video without sound. Decoding,
// encoding and muxing are GStreamer's own elements; the drawing is laid over the decoded frame
// in its own 4:2:0 planes (FrameBlend), so that no frame is converted to RGB and back.
//
// The video is written under a new name beside the output and renamed onto it only once it is
// whole and on the disk, so that a cancel, an error or a full disk leaves nothing at the output
// and no file of the export behind.
class VideoExport
{
public:
    // Paints over one frame: the painter is in the frame's coordinates and reaches overlayArea()
    // only; ms is the frame's moment in the clip. Called on a streaming thread, never the
    // caller's, one frame after the other: it must only paint, and what it reads must not change
    // while run() goes on.
    using Draw = std::function<void(QPainter &painter, const QSize &frame, qint64 ms)>;
    // Called on the caller's thread at least ten times a second while run() goes on, with the
    // fraction written so far (0 to 1); false cancels. It may run the caller's event loop
    // (QProgressDialog::setValue on a modal dialog does), so that a Cancel button works.
    using Progress = std::function<bool(double fraction)>;

    enum class Outcome
    {
        Written,
        Cancelled,
        Failed, // error() says why
    };

    static constexpr int SoundOnlyWidth = 1280;
    static constexpr int SoundOnlyHeight = 720;
    static constexpr int SoundOnlyRate = 30; // frames a second

    VideoExport(const QString &clip, const QString &output) : m_clip(clip), m_output(output) {}

    void setDraw(Draw draw) { m_draw = std::move(draw); }
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Whether a file already at the output is replaced; without it the export fails where one
    // is there at the end, also one that appeared meanwhile. A link at the output stands for
    // the file it leads to.
    void setReplaceExisting(bool replace) { m_replace = replace; }

    // The lower third of a frame, where the drawing goes.
    static QRect overlayArea(const QSize &frame);

    // Blocks until the video is written, cancelled or has failed.
    Outcome run();
    const QString &error() const { return m_error; }

private:
    QString m_clip;
    QString m_output;
    Draw m_draw;
    Progress m_progress;
    bool m_replace = false;
    QString m_error;
};

#include "clips.h"

#include <QColor>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

QString makeClip(const QString &path, double seconds, const Clip &clip)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return QStringLiteral("ffmpeg is not on PATH");
    const QString length = QString::number(seconds);
    const QMap<QString, QStringList> codecs = {{"avi", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}},
                                               {"mpg", {"-c:v", "mpeg2video", "-c:a", "mp2"}},
                                               {"wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}},
                                               {"mp3", {"-c:a", "libmp3lame"}},
                                               {"wav", {"-c:a", "pcm_s16le"}}};
    QStringList arguments = {"-y", "-nostdin", "-hide_banner", "-loglevel", "error"};
    if (clip.picture.isValid())
        arguments += {"-f", "lavfi", "-i",
                      QStringLiteral("%1size=%2x%3:rate=%4:duration=%5")
                          .arg(clip.plain ? "color=c=" + QColor(clip.plain).name() + ':'
                                          : QStringLiteral("testsrc2="))
                          .arg(clip.picture.width())
                          .arg(clip.picture.height())
                          .arg(clip.rate)
                          .arg(length)};
    if (clip.sound)
        arguments += {"-f", "lavfi", "-i", "sine=frequency=440:duration=" + length};
    // Codecs after every input: before one they would name its decoder.
    const QString container = QFileInfo(path).suffix().toLower();
    if (clip.h264)
        arguments += {"-c:v",     "libx264",
                      "-preset",  "veryfast",
                      "-pix_fmt", "yuv420p",
                      "-c:a",     container == QLatin1String("mp4") ? "aac" : "pcm_s16le"};
    else
        arguments += codecs.value(container);
    arguments += {"-t", length, path};
    QProcess process;
    process.start(ffmpeg, arguments);
    // A 2160p clip takes a few minutes to encode on two cores.
    if (!process.waitForFinished(900000) || process.exitCode() != 0)
        return QStringLiteral("ffmpeg could not make %1: %2")
            .arg(path, QString::fromLocal8Bit(process.readAllStandardError()).simplified());
    return QString();
}

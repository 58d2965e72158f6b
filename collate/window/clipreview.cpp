#include "clipreview.h"

#include "collatedialogs.h"
#include "collation.h"
#include "mediaplayer.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

const QString ClipText = QStringLiteral("Clip...");
const QString ClipTitle = QStringLiteral("The clip the runs were made on");
const QString ClipFilter =
    QStringLiteral("Movie and sound files|*.avi;*.mpg;*.mpeg;*.wmv;*.mp4;*.mov;*.mkv;*.mp3;*.wav|"
                   "All files|*|");
const QString NoClip = QStringLiteral("Attach the clip the runs were made on to play it beside "
                                      "the chart.");
const QString AtText = QStringLiteral("At %1 s: %2");
const QString MeanAndSd = QStringLiteral("mean %1, SD %2 (%3 runs)");
const QString MeanOnly = QStringLiteral("mean %1 (1 run)");
const QString NoValue = QStringLiteral("no run has a value");
const QString Unplayable = QStringLiteral("The clip \"%1\" cannot be played.\n\n%2");

QString figure(double value)
{
    const QString text = QString::number(value, 'f', 2);
    return text == QLatin1String("-0.00") ? QStringLiteral("0.00") : text;
}

} // namespace

ClipReview::ClipReview(const Collation &collation, MediaPlayer &player, CollateDialogs &dialogs,
                       QWidget *parent)
    : QWidget(parent), m_collation(collation), m_player(player), m_dialogs(dialogs)
{
    auto *clipButton = new QPushButton(ClipText, this);
    clipButton->setObjectName(QStringLiteral("clipButton"));
    m_figures = new QLabel(NoClip, this);
    m_figures->setObjectName(QStringLiteral("cursorLabel"));
    m_figures->setWordWrap(true);
    QWidget *view = m_player.view();
    view->setParent(this);
    view->hide();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(clipButton, 0, Qt::AlignLeft);
    layout->addWidget(view, 1);
    layout->addWidget(m_figures);
    connect(clipButton, &QPushButton::clicked, this, &ClipReview::chooseClip);
    connect(&m_player, &MediaPlayer::errorOccurred, this, [this](const QString &reason) {
        m_dialogs.message(this, Unplayable.arg(QDir::toNativeSeparators(m_clip), reason));
    });
    // Space plays and pauses wherever the focus is in the window.
    auto *space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WindowShortcut);
    connect(space, &QShortcut::activated, this, &ClipReview::togglePlaying);
    m_following.setInterval(50ms);
    m_following.callOnTimeout(this, &ClipReview::follow);
}

void ClipReview::chooseClip()
{
    const QString clip =
        m_dialogs.openFile(this, {ClipTitle, QString(), ClipFilter, QDir::homePath()});
    if (!clip.isEmpty())
        attach(clip);
}

void ClipReview::attach(const QString &clip)
{
    m_clip = clip;
    m_player.setUrl(clip);
    m_player.view()->show();
    m_following.start();
    follow();
    emit clipAttached(clip);
}

void ClipReview::detach()
{
    m_clip.clear();
    m_following.stop();
    m_player.close();
    m_player.view()->hide();
    m_figures->setText(NoClip);
    follow();
    emit clipAttached(m_clip);
}

void ClipReview::togglePlaying()
{
    if (!m_clip.isEmpty())
        m_player.setPlaying(!m_player.isPlaying());
}

void ClipReview::seek(double seconds)
{
    if (m_clip.isEmpty())
        return;
    m_player.seekTo(seconds);
    follow();
}

void ClipReview::follow()
{
    const double at = m_player.position();
    if (m_clip.isEmpty() || at < 0.0) {
        emit cursorMoved(std::nullopt);
        return;
    }
    emit cursorMoved(at);
    const qsizetype row = m_collation.rowAt(at);
    const int runs = row < 0 ? 0 : m_collation.count(row);
    const QString values = runs >= 2
                               ? MeanAndSd.arg(figure(m_collation.mean(row)),
                                               figure(m_collation.sd(row)), QString::number(runs))
                           : runs == 1 ? MeanOnly.arg(figure(m_collation.mean(row)))
                                       : NoValue;
    m_figures->setText(AtText.arg(QString::number(at, 'f', 1), values));
}

#include "moc_clipreview.cpp"

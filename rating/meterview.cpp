#include "meterview.h"

#include "controls.h"

namespace {

constexpr std::array<const char *, LevelMeter::SegmentCount> SegmentNames = {
    "RedPos",  "OrangePos", "YellowPos", "GreenPos",  "BluePos",
    "BlueNeg", "GreenNeg",  "YellowNeg", "OrangeNeg", "RedNeg"};

constexpr int MeterWidth = 735;
constexpr int SegmentHeight = 375;

} // namespace

namespace MeterView {

void build(Segments &segments, QFrame &frame, const char *frameName, int left, const char *suffix,
           const QString &variable)
{
    Controls::place(frame, frameName, left, LevelMeter::RowTops.front(), MeterWidth, 3975);
    frame.setAccessibleName(QStringLiteral("Level meter of ") + variable);
    frame.setFrameShape(QFrame::Box);
    frame.setFrameShadow(QFrame::Sunken);
    for (int i = 0; i < LevelMeter::SegmentCount; ++i) {
        QFrame &segment = segments[static_cast<std::size_t>(i)];
        segment.setParent(frame.parentWidget());
        const QByteArray name = QByteArray(SegmentNames[static_cast<std::size_t>(i)]) + suffix;
        Controls::place(segment, name.constData(), left,
                        LevelMeter::RowTops[static_cast<std::size_t>(i)], MeterWidth,
                        SegmentHeight);
        segment.setAccessibleName(frame.accessibleName() + QStringLiteral(", segment ") +
                                  QString::number(LevelMeter::segmentLevel(i)));
        segment.setAutoFillBackground(true);
        QPalette palette = segment.palette();
        palette.setColor(QPalette::Window, LevelMeter::segmentColor(i));
        segment.setPalette(palette);
        segment.raise();
    }
}

} // namespace MeterView

#include "exports.h"

#include "files.h"
#include "setuprecord.h"
#include "twips.h"

namespace Exports {

QString defaultName(const SetupRecord &record, const QString &extension)
{
    const QString name = record.SubjectName + QLatin1Char(' ') + record.Variable;
    return Files::safeFileName(name, QStringLiteral("Dialtrace results")) + extension;
}

float imageWidthTwips(double clipSeconds)
{
    return static_cast<float>(clipSeconds * 50.0 + 10000.0);
}

QSize imageSize(double clipSeconds)
{
    constexpr int ChartHeightTwips = 7575;
    return QSize(Twips::toPixels(imageWidthTwips(clipSeconds)), Twips::toPixels(ChartHeightTwips));
}

} // namespace Exports

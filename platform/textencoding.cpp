#include "textencoding.h"

#include "files.h"

#include <QStringDecoder>

namespace Files {

QString fromUtf8OrWindows1252(const QByteArray &bytes, bool cut)
{
    // Stateless, a sequence broken off at the end is an error; otherwise it is held back.
    QStringDecoder utf8(QStringConverter::Utf8,
                        cut ? QStringConverter::Flag::Default : QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes); // without a leading byte-order mark
    // Plain ASCII reads the same either way.
    return bytes.startsWith("\xEF\xBB\xBF") || !utf8.hasError() ? text : fromWindows1252(bytes);
}

QString readTextStart(const QString &path, qint64 limit)
{
    QByteArray bytes;
    if (!isVisiblePlainFile(path) || !readFileStart(path, limit, &bytes))
        return QString();
    return fromUtf8OrWindows1252(bytes, bytes.size() >= limit);
}

} // namespace Files

#pragma once

#include "twips.h"

#include <QLabel>
#include <QString>
#include <QWidget>

// Controls keep the names and the positions in twips they were designed with; the name is the
// objectName, so tests and tools find them.
namespace Controls {

inline void place(QWidget &control, const char *name, int left, int top, int width, int height)
{
    control.setObjectName(QString::fromLatin1(name));
    control.setGeometry(Twips::rect(left, top, width, height));
}

inline void placeLabel(QLabel &label, const char *name, const QString &text, int left, int top,
                       int width, int height)
{
    place(label, name, left, top, width, height);
    label.setText(text);
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

// A button caption shown as typed: '&' marks no shortcut.
inline QString literalCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace Controls

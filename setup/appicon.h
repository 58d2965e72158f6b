#pragma once

#include <QIcon>

// The program's window icon, at every size it is drawn in.
inline QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(
            QStringLiteral(":/dialtrace/icons/hicolor/%1x%1/apps/dialtrace.png").arg(size));
    return icon;
}

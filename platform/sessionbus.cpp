#include "sessionbus.h"

#include <QByteArray>
#include <QFileInfo>

void neverStartASessionBus()
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return;
    // libdbus's own default before it starts a bus: the user's bus socket.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return;
    // A transport libdbus does not know: every connection fails at once, and nothing is forked.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

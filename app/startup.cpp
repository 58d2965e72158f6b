#include "startup.h"

#include "appicon.h"
#include "dialogs.h"

#include <QApplication>
#include <QFont>

namespace Startup {

void prepareEnvironment()
{
    // Nothing here draws through OpenGL or Vulkan, yet the video widget would load a whole GL
    // stack and GStreamer's device probe every Vulkan driver (software ones bring LLVM along):
    // some 90 MB for nothing. Video frames are then converted on the CPU, which research clips
    // do not notice. Settings the user made win.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    if (!qEnvironmentVariableIsSet("VK_ICD_FILENAMES") &&
        !qEnvironmentVariableIsSet("VK_DRIVER_FILES"))
        qputenv("VK_ICD_FILENAMES", "/dev/null");
}

void prepareApplication()
{
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setWindowIcon(applicationIcon());
    // The screens are laid out in fixed positions for a small, narrow dialog font.
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    // Hidden screens keep the run's state; the program ends when the order of screens says so,
    // not when the last visible window goes.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace Startup

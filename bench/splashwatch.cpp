#include "splashwatch.h"

#include <chrono>

#ifdef DIALTRACE_BENCH_HAVE_XCB

#include <QFile>

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> reply(T *pointer)
{
    return Reply<T>(pointer, &std::free);
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const auto answer = reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return answer ? answer->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool ownedBy(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t pidAtom, pid_t pid)
{
    const auto answer = reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!answer || xcb_get_property_value_length(answer.get()) < 4)
        return false;
    return *static_cast<const uint32_t *>(xcb_get_property_value(answer.get())) ==
           static_cast<uint32_t>(pid);
}

bool hasSize(xcb_connection_t *connection, xcb_window_t window, const QSize &size)
{
    const auto answer =
        reply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return answer && answer->width == size.width() && answer->height == size.height();
}

void endProcess(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

} // namespace

namespace SplashWatch {

bool available()
{
    return true;
}

Start timeToWindow(const QString &executable, const QSize &size, int timeoutMilliseconds,
                   bool verbose)
{
    Start result;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owner(connection,
                                                                             &xcb_disconnect);
    if (xcb_connection_has_error(connection)) {
        result.error = QStringLiteral("cannot connect to the X server");
        return result;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // Substructure notification on the root reports the map of every top-level window, whoever
    // creates it; unlike redirection it can be shared with a window manager.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    if (const auto error =
            reply(xcb_request_check(connection, xcb_change_window_attributes_checked(
                                                    connection, root, XCB_CW_EVENT_MASK, &mask)))) {
        result.error = QStringLiteral("cannot watch the root window");
        return result;
    }
    const xcb_atom_t pidAtom = internAtom(connection, "_NET_WM_PID");
    xcb_flush(connection);

    const QByteArray path = QFile::encodeName(executable);
    char *const arguments[] = {const_cast<char *>(path.constData()), nullptr};
    // The program's chatter about sound devices would bury the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!verbose) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const Clock::time_point started = Clock::now();
    const int spawnError =
        posix_spawn(&pid, path.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (const int error = spawnError) {
        result.error = QStringLiteral("cannot start %1: %2")
                           .arg(executable, QString::fromLocal8Bit(std::strerror(error)));
        return result;
    }

    const Clock::time_point deadline = started + std::chrono::milliseconds(timeoutMilliseconds);
    pollfd watched{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (!result.ok) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.error = QStringLiteral("no window of %1x%2 within %3 ms")
                               .arg(size.width())
                               .arg(size.height())
                               .arg(timeoutMilliseconds);
            break;
        }
        // Wake up now and then to notice a process that died without a window.
        const int ready = poll(&watched, 1, static_cast<int>(std::min<qint64>(left.count(), 50)));
        // The moment the event is seen, before any round trip to look at the window.
        const Clock::time_point seen = Clock::now();
        if (ready < 0 && errno != EINTR) {
            result.error = QStringLiteral("poll failed");
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            result.error = QStringLiteral("%1 ended before its window was mapped").arg(executable);
            pid = 0;
            break;
        }
        while (const auto event = reply(xcb_poll_for_event(connection))) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY || result.ok)
                continue;
            const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event.get());
            if (hasSize(connection, map->window, size) &&
                ownedBy(connection, map->window, pidAtom, pid)) {
                result.ok = true;
                result.milliseconds =
                    std::chrono::duration<double, std::milli>(seen - started).count();
            }
        }
        if (xcb_connection_has_error(connection)) {
            result.error = QStringLiteral("lost the X connection");
            break;
        }
    }
    if (pid > 0)
        endProcess(pid);
    return result;
}

} // namespace SplashWatch

#else

namespace SplashWatch {

bool available()
{
    return false;
}

Start timeToWindow(const QString &, const QSize &, int, bool)
{
    Start result;
    result.error = QStringLiteral("built without xcb");
    return result;
}

} // namespace SplashWatch

#endif

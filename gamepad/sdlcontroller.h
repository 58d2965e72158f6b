#pragma once

#include "gamecontroller.h"

#include <atomic>
#include <memory>

// The game controllers and joysticks SDL2 sees, read on a thread of their own (the interface
// thread never waits for a device) and handed to the thread this object lives on. The first
// device plugged in is the one used; one plugged in later takes over when it goes. A joystick SDL
// does not know as a game controller: its first two axes are the left stick (across, up) and its
// first four buttons the D-pad's up and down and the top and bottom face buttons.
class SdlController : public GameController
{
    Q_OBJECT
public:
    explicit SdlController(QObject *parent = nullptr);
    ~SdlController() override;

    bool isConnected() const override { return m_connected; }
    // Whether SDL could be started at all (no joystick support: no controller, and no message).
    bool isAvailable() const { return m_available; }

    // When the last event was read from SDL, in nanoseconds on std::chrono::steady_clock: where
    // the benchmark's latency of a movement begins.
    qint64 lastEventNanoseconds() const { return m_lastEvent; }

private:
    struct Reader;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_available{false};
    std::atomic<qint64> m_lastEvent{0};
    std::unique_ptr<Reader> m_reader;
};

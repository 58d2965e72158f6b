#include "sdlcontroller.h"

#include <QMetaObject>

#include <SDL.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

// How often the reader asks SDL for the devices' events. SDL stamps each event when it is read,
// so this adds at most this much to a movement's way to the screen, at a few hundred short
// wake-ups a second.
constexpr std::chrono::milliseconds PollInterval{4};

// The buttons and axes of a joystick that is no game controller, in GameController's order.
constexpr int JoystickButtons = 4;
constexpr int JoystickAxes = 2;

std::optional<GameController::Button> buttonOf(Uint8 button)
{
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return GameController::Button::DpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return GameController::Button::DpadDown;
    case SDL_CONTROLLER_BUTTON_Y:
        return GameController::Button::FaceTop;
    case SDL_CONTROLLER_BUTTON_A:
        return GameController::Button::FaceBottom;
    default:
        return std::nullopt;
    }
}

std::optional<GameController::Axis> axisOf(Uint8 axis)
{
    switch (axis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
        return GameController::Axis::LeftX;
    case SDL_CONTROLLER_AXIS_LEFTY:
        return GameController::Axis::LeftY;
    case SDL_CONTROLLER_AXIS_RIGHTX:
        return GameController::Axis::RightX;
    case SDL_CONTROLLER_AXIS_RIGHTY:
        return GameController::Axis::RightY;
    default:
        return std::nullopt;
    }
}

} // namespace

struct SdlController::Reader
{
    explicit Reader(SdlController &controller) : owner(controller) {}

    SdlController &owner;
    std::atomic<bool> stop{false};
    std::thread thread;
    // The device in use: a game controller, or a plain joystick.
    SDL_GameController *controller = nullptr;
    SDL_Joystick *joystick = nullptr;
    SDL_JoystickID id = -1;

    void run();
    void handle(const SDL_Event &event);
    bool isAttached() const;
    void open(int index);
    void close();

    template <typename Signal, typename... Args> void post(Signal signal, Args... args)
    {
        QMetaObject::invokeMethod(
            &owner, [owner = &owner, signal, args...] { (owner->*signal)(args...); },
            Qt::QueuedConnection);
    }
};

void SdlController::Reader::run()
{
    // The program handles its own signals; SDL's would swallow Ctrl+C. No window is asked for.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_Init(SDL_INIT_GAMECONTROLLER) != 0)
        return;
    owner.m_available = true;
    SDL_Event event;
    while (!stop) {
        while (SDL_PollEvent(&event))
            handle(event);
        std::this_thread::sleep_for(PollInterval);
    }
    close();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlController::Reader::open(int index)
{
    if (SDL_IsGameController(index))
        controller = SDL_GameControllerOpen(index);
    else
        joystick = SDL_JoystickOpen(index);
    if (!controller && !joystick)
        return;
    id = SDL_JoystickInstanceID(controller ? SDL_GameControllerGetJoystick(controller) : joystick);
    owner.m_connected = true;
    post(&GameController::connectedChanged, true);
}

void SdlController::Reader::close()
{
    if (controller)
        SDL_GameControllerClose(controller);
    if (joystick)
        SDL_JoystickClose(joystick);
    controller = nullptr;
    joystick = nullptr;
    id = -1;
}

bool SdlController::Reader::isAttached() const
{
    return controller ? SDL_GameControllerGetAttached(controller)
                      : SDL_JoystickGetAttached(joystick);
}

void SdlController::Reader::handle(const SDL_Event &event)
{
    owner.m_lastEvent = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    switch (event.type) {
    case SDL_JOYDEVICEADDED:
        if (id < 0)
            open(event.jdevice.which);
        return;
    case SDL_JOYDEVICEREMOVED:
        if (event.jdevice.which != id)
            return;
        close();
        owner.m_connected = false;
        post(&GameController::connectedChanged, false);
        // Another device still plugged in takes over.
        for (int index = 0; index < SDL_NumJoysticks() && id < 0; ++index)
            open(index);
        return;
    default:
        break;
    }
    // As a device goes, SDL centres its sticks and lets go of its buttons: the levels stay
    // where the subject left them instead.
    if ((!controller && !joystick) || !isAttached())
        return;
    switch (event.type) {
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        if (event.cbutton.which == id) {
            if (const auto button = buttonOf(event.cbutton.button))
                post(&GameController::buttonChanged, *button,
                     event.type == SDL_CONTROLLERBUTTONDOWN);
        }
        return;
    case SDL_CONTROLLERAXISMOTION:
        if (event.caxis.which == id) {
            if (const auto axis = axisOf(event.caxis.axis))
                post(&GameController::axisChanged, *axis, int(event.caxis.value));
        }
        return;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        // A game controller's joystick reports too: only a plain joystick is read this way.
        if (joystick && event.jbutton.which == id && event.jbutton.button < JoystickButtons)
            post(&GameController::buttonChanged, GameController::Button(event.jbutton.button),
                 event.type == SDL_JOYBUTTONDOWN);
        return;
    case SDL_JOYAXISMOTION:
        if (joystick && event.jaxis.which == id && event.jaxis.axis < JoystickAxes)
            post(&GameController::axisChanged, GameController::Axis(event.jaxis.axis),
                 int(event.jaxis.value));
        return;
    default:
        return;
    }
}

SdlController::SdlController(QObject *parent)
    : GameController(parent), m_reader(std::make_unique<Reader>(*this))
{
    m_reader->thread = std::thread([this] { m_reader->run(); });
}

SdlController::~SdlController()
{
    m_reader->stop = true;
    m_reader->thread.join();
}

#include "moc_sdlcontroller.cpp"

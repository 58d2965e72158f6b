#pragma once

// A device through SDL's virtual joysticks, plugged in for as long as this lives: a game
// controller with every axis and button SDL maps, or a plain joystick (two axes, four buttons)
// that SDL maps to no game controller. For the tests and the benchmark, which link SDL2
// themselves.

#include <SDL.h>

struct VirtualJoystick
{
    explicit VirtualJoystick(bool gameController)
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type =
            gameController ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_FLIGHT_STICK;
        desc.naxes = gameController ? SDL_CONTROLLER_AXIS_MAX : 2;
        desc.nbuttons = gameController ? SDL_CONTROLLER_BUTTON_MAX : 4;
        desc.axis_mask = gameController ? (1u << SDL_CONTROLLER_AXIS_MAX) - 1 : 0;
        desc.button_mask = gameController ? (1u << SDL_CONTROLLER_BUTTON_MAX) - 1 : 0;
        index = SDL_JoystickAttachVirtualEx(&desc);
        device = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    }
    ~VirtualJoystick() { unplug(); }
    VirtualJoystick(const VirtualJoystick &) = delete;
    VirtualJoystick &operator=(const VirtualJoystick &) = delete;

    // Closed and detached; false where SDL would not detach it.
    bool unplug()
    {
        if (device)
            SDL_JoystickClose(device);
        device = nullptr;
        const bool detached = index >= 0 && SDL_JoystickDetachVirtual(index) == 0;
        index = -1;
        return detached;
    }
    void setAxis(int axis, int value) { SDL_JoystickSetVirtualAxis(device, axis, Sint16(value)); }
    void setButton(int button, bool down)
    {
        SDL_JoystickSetVirtualButton(device, button, down ? 1 : 0);
    }

    int index = -1;
    SDL_Joystick *device = nullptr;
};

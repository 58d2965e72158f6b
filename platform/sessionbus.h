#pragma once

// Where no desktop session bus can be found (no DBUS_SESSION_BUS_ADDRESS, no bus socket in
// XDG_RUNTIME_DIR), libdbus would start one for the X display by forking dbus-launch from
// every library that asks (Qt, SDL), each from a thread of its own while the player's threads
// run. A fork amid running threads can leave the child waiting for ever on a lock another
// thread held, and the program with it: seen as a splash that never came and a program that
// never ended. Such a bus gives this program nothing, so it is marked absent instead, before any
// library asks. A bus the session has, or an address the user set, is left as it is.
// Before the QApplication exists, and before any thread starts.
void neverStartASessionBus();

#pragma once

// While one lives, an interrupt from the terminal or a request to end (SIGINT, SIGTERM, SIGHUP)
// does not end the program but is noted, so that long work can stop cleanly and leave no half
// written file; the signals' earlier handling comes back when it goes.
class InterruptsNoted
{
public:
    InterruptsNoted();
    ~InterruptsNoted();
    InterruptsNoted(const InterruptsNoted &) = delete;
    InterruptsNoted &operator=(const InterruptsNoted &) = delete;

    // Whether an interrupt came since this was made.
    static bool interrupted();
};

// Whether standard error is a terminal, where progress may be shown on one line.
bool standardErrorIsTerminal();

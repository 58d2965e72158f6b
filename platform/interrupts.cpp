#include "interrupts.h"

#include <csignal>

#include <unistd.h>

namespace {

volatile std::sig_atomic_t noted = 0;

extern "C" void note(int)
{
    noted = 1;
}

constexpr int Count = 3;
constexpr int Signals[Count] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction before[Count];

} // namespace

InterruptsNoted::InterruptsNoted()
{
    noted = 0;
    struct sigaction action
    {
    };
    action.sa_handler = note;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < Count; ++i)
        sigaction(Signals[i], &action, &before[i]);
}

InterruptsNoted::~InterruptsNoted()
{
    for (int i = 0; i < Count; ++i)
        sigaction(Signals[i], &before[i], nullptr);
}

bool InterruptsNoted::interrupted()
{
    return noted != 0;
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

// Runs until it is killed, ignoring the signals that would end it politely.
#include <csignal>
#include <cstdio>
#include <unistd.h>

static volatile unsigned long counter;

static void work()
{
    counter = counter + 1;
}

// Never called: a place for a breakpoint that is never hit.
void idle_hook()
{
    counter = 0;
}

int main()
{
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::printf("spinning\n");
    std::fflush(stdout);
    for (;;) {
        work();
        usleep(1000);
    }
}

// Reports byte by byte what one typed line brought, then whether more input followed.
#include <poll.h>
#include <unistd.h>
#include <cstdio>

int main()
{
    std::printf("Name? ");
    std::fflush(stdout);
    char line[256];
    ssize_t n = read(0, line, sizeof line);
    std::printf("got %d:", int(n));
    for (ssize_t i = 0; i < n; ++i)
        std::printf(" %d", line[i]);
    pollfd in{0, POLLIN, 0};
    std::printf("\nmore %d\n", poll(&in, 1, 300));
    return 0;
}

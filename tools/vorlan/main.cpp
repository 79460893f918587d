// vorlan: the library at work from a shell.
#include <cstdio>

#include "vorlan/vorlan.h"

int main() {
    std::puts("vorlan demo");
    return 0;
}

#pragma once

#include <cstdio>
#include <cstdlib>

// Ends the run with a report when a property that must hold for any input is broken.
inline void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

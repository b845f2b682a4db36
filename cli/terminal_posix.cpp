#include "terminalprogress.h"

#include <cstdio>
#include <unistd.h>

bool StandardErrorIsTerminal()
{
    return ::isatty(::fileno(stderr)) == 1;
}

#include "terminalprogress.h"

#include <cstdio>
#include <io.h>

bool StandardErrorIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}

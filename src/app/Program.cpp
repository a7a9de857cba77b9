#include "app/Program.h"

int RunProgram(int, char**)
{
    return 0;
}

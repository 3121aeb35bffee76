#include "windows/program.h"

int main(int argc, char *argv[])
{
    return windows::runProgram(argc, argv);
}

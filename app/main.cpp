#include "app/forms/program.h"

int main(int argc, char **argv)
{
    return RunLyra(argc, argv);
}

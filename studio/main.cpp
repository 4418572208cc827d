#include "studioapplication.h"

int main(int argc, char **argv)
{
    return StudioApplication::run(argc, argv);
}

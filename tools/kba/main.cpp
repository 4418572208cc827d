// trelvo-kba: inspect, check, cut and join block files from the command line.
#include "kbatool.h"

#include "dzfilesystem.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Paths keep bytes that are not valid in the locale's encoding.
    return runKbaTool(dzArguments(argc, argv), out, err);
}

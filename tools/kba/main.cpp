// trelvo-kba: inspect, check, cut and join block files from the command line.
#include "kbatool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runKbaTool(app.arguments().mid(1), out, err);
}

// trelvo-compose: bakes a timeline described by a JSON recipe into frames.
#include "composer.h"

#include "dzfilesystem.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Paths keep bytes that are not valid in the locale's encoding.
    return runCompose(dzArguments(argc, argv), out, err);
}

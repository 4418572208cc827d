// trelvo-compose: bakes a timeline described by a JSON recipe into frames.
#include "composer.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runCompose(app.arguments().mid(1), out, err);
}

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the user asked for on the command line:
//   trelvo-studio [SCENE] [--content DIR] [--plugin-dir DIR] [--screenshot PNG]
// plus --help and --version. Options also take the "--option=value" form.
struct StudioOptions {
    QString scenePath;
    QString contentDir;
    QString pluginDir;
    QString screenshotPath;
    bool showHelp = false;
    bool showVersion = false;
};

class StudioCommandLine {
public:
    // Parses the arguments after the program name. Returns false with a
    // one-line reason in *error for an unknown option, a missing or empty
    // value, an option given twice or a second scene file.
    static bool parse(const QStringList &arguments, StudioOptions *options, QString *error);

    static QString usage();

    // Qt needs a display unless a platform plug-in is forced. Returns the
    // message to print when there is none (neither DISPLAY nor
    // WAYLAND_DISPLAY is set and QT_QPA_PLATFORM is not set), otherwise an
    // empty string. `getenv` reads one variable (empty when unset).
    static QString displayProblem(const std::function<QString(const char *)> &getenv);
    // The same for the process environment.
    static QString displayProblem();
};

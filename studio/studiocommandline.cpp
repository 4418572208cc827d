#include "studiocommandline.h"

#include <QtGlobal>

namespace {

struct ValueOption {
    const char *name;
    QString StudioOptions::*field;
};

const ValueOption kValueOptions[] = {
    { "--content", &StudioOptions::contentDir },
    { "--plugin-dir", &StudioOptions::pluginDir },
    { "--screenshot", &StudioOptions::screenshotPath },
};

} // namespace

bool StudioCommandLine::parse(const QStringList &arguments, StudioOptions *options, QString *error)
{
    StudioOptions result;
    QString reason;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size() && reason.isEmpty(); ++i) {
        const QString arg = arguments.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (!result.scenePath.isEmpty())
                reason = QStringLiteral("only one scene file can be opened (got \"%1\" and \"%2\")")
                             .arg(result.scenePath, arg);
            else
                result.scenePath = arg;
            continue;
        }
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            result.showHelp = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            result.showVersion = true;
            continue;
        }
        const ValueOption *match = nullptr;
        QString value;
        bool hasValue = false;
        for (const ValueOption &opt : kValueOptions) {
            const QLatin1String name(opt.name);
            if (arg == name) {
                match = &opt;
                if (i + 1 < arguments.size()) {
                    value = arguments.at(++i);
                    hasValue = true;
                }
                break;
            }
            if (arg.startsWith(name + QLatin1Char('='))) {
                match = &opt;
                value = arg.mid(name.size() + 1);
                hasValue = true;
                break;
            }
        }
        if (!match) {
            reason = QStringLiteral("unknown option \"%1\"").arg(arg);
            break;
        }
        if (!hasValue || value.isEmpty()) {
            reason = QStringLiteral("option %1 needs a value").arg(QLatin1String(match->name));
            break;
        }
        QString &field = result.*(match->field);
        if (!field.isEmpty()) {
            reason = QStringLiteral("option %1 is given twice").arg(QLatin1String(match->name));
            break;
        }
        field = value;
    }
    if (!reason.isEmpty()) {
        if (error)
            *error = reason;
        return false;
    }
    if (options)
        *options = result;
    return true;
}

QString StudioCommandLine::usage()
{
    return QStringLiteral("Usage: trelvo-studio [SCENE] [options]\n"
                          "\n"
                          "Trelvo Studio: pose and animate figures, with the Trelvo plug-in.\n"
                          "\n"
                          "  SCENE              a scene file to open at start-up\n"
                          "  --content DIR      the content folder (figures, block library);\n"
                          "                     default: $TRELVO_CONTENT, else the installed content\n"
                          "  --plugin-dir DIR   the folder holding the plug-in library;\n"
                          "                     default: $TRELVO_PLUGIN_DIR, else next to the program\n"
                          "                     or in its ../lib folder\n"
                          "  --screenshot PNG   start up, save an image of the window to PNG and exit\n"
                          "  -h, --help         show this help and exit\n"
                          "  --version          show the version and exit\n"
                          "\n"
                          "Without a display, run it under a virtual X server:\n"
                          "  xvfb-run -a trelvo-studio ...\n");
}

QString StudioCommandLine::displayProblem(const std::function<QString(const char *)> &getenv)
{
    if (!getenv("QT_QPA_PLATFORM").isEmpty() || !getenv("DISPLAY").isEmpty()
        || !getenv("WAYLAND_DISPLAY").isEmpty())
        return QString();
    return QStringLiteral("trelvo-studio: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                          "Trelvo Studio is a graphical application. Without a display, run it under a\n"
                          "virtual X server:\n"
                          "  xvfb-run -a trelvo-studio [SCENE] [options]\n"
                          "For a one-off image without any X server:\n"
                          "  QT_QPA_PLATFORM=offscreen trelvo-studio --screenshot out.png\n");
}

QString StudioCommandLine::displayProblem()
{
    return displayProblem([](const char *name) { return qEnvironmentVariable(name); });
}

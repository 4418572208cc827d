#include "studioapplication.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzfilesystem.h"
#include "dzlog.h"
#include "dzscene.h"
#include "studiodocument.h"
#include "studioprompt.h"
#include "studiowindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#ifndef TRELVO_VERSION_STRING
#define TRELVO_VERSION_STRING "1.0"
#endif

namespace {

void printErr(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool writeScreenshot(QWidget *window, const QString &path, QString *error)
{
    const QPixmap shot = window->grab();
    if (shot.isNull()) {
        *error = QStringLiteral("the window could not be captured");
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(shot.toImage())) {
        *error = writer.errorString();
        return false;
    }
    DzAtomicWriter file;
    if (!file.open(path) || !file.write(png) || !file.commit()) {
        // The reason alone; the caller names the file.
        *error = file.errorString().section(QStringLiteral(": "), -1);
        return false;
    }
    return true;
}

} // namespace

int StudioApplication::run(int argc, char **argv)
{
    // Paths keep bytes that are not valid in the locale's encoding.
    const QStringList arguments = dzArguments(argc, argv);
    StudioOptions options;
    QString error;
    if (!StudioCommandLine::parse(arguments, &options, &error)) {
        printErr(QStringLiteral("trelvo-studio: %1\nTry 'trelvo-studio --help'.").arg(error));
        return 2;
    }
    if (options.showHelp) {
        std::fputs(StudioCommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("trelvo-studio %s\n", TRELVO_VERSION_STRING);
        return 0;
    }
    // Qt aborts without a display; say what to do instead.
    const QString displayProblem = StudioCommandLine::displayProblem();
    if (!displayProblem.isEmpty()) {
        printErr(displayProblem);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trelvo Studio"));
    QApplication::setOrganizationName(QStringLiteral("Trelvo"));
    QApplication::setApplicationVersion(QStringLiteral(TRELVO_VERSION_STRING));

    const bool screenshot = !options.screenshotPath.isEmpty();
    if (screenshot) {
        // Nobody is there to answer: report on stderr and take the safe answer.
        StudioPrompt::setMessageHandler(
            [](QWidget *, StudioPrompt::Kind kind, const QString &, const QString &text) {
                printErr(QStringLiteral("trelvo-studio: %1").arg(text));
                return kind == StudioPrompt::Question
                    ? StudioPrompt::No
                    : (kind == StudioPrompt::UnsavedChanges ? StudioPrompt::Cancel : StudioPrompt::Ok);
            });
        StudioPrompt::setFileHandler([](QWidget *, StudioPrompt::FileMode, const QString &, const QString &,
                                         const QString &) { return QString(); });
        // The plug-in's own message boxes take the same safe answers.
        app.setProperty("trelvoUnattended", true);
    }

    DzApp host;
    QStringList problems;
    if (!options.contentDir.isEmpty() && !host.getContentMgr()->setContentDirectory(options.contentDir)) {
        problems << QStringLiteral("The content folder \"%1\" does not exist; using \"%2\".")
                        .arg(QDir::toNativeSeparators(options.contentDir),
                            QDir::toNativeSeparators(host.getContentMgr()->getContentDirectory()));
    }

    StudioWindow window;
    if (screenshot)
        window.setPersistSettings(false);
    const QString pluginLocation
        = !options.pluginDir.isEmpty() ? options.pluginDir : qEnvironmentVariable("TRELVO_PLUGIN_DIR");
    window.loadPlugins(pluginLocation, QCoreApplication::applicationDirPath());
    problems += window.startupProblems();

    // The first scene: the file asked for, else (or when it cannot be read)
    // a new scene with the standard figure.
    bool opened = false;
    if (!options.scenePath.isEmpty()) {
        QString why;
        opened = window.document()->open(options.scenePath, &why);
        if (opened)
            window.rememberFile(window.document()->filePath());
        else
            problems << why + QStringLiteral("\nA new scene was started instead.");
    }
    if (!opened) {
        QString why;
        if (!window.document()->newScene(&why))
            problems << why;
    }
    for (const QString &p : problems)
        dzWarning(p);

    window.show();

    if (screenshot) {
        for (const QString &p : problems)
            printErr(QStringLiteral("trelvo-studio: %1").arg(p));
        // The screenshot is still taken, but a script must learn that the
        // scene it asked for was not the one shown.
        int code = !options.scenePath.isEmpty() && !opened ? 1 : 0;
        QTimer::singleShot(kScreenshotDelayMs, &window, [&] {
            QString why;
            if (!writeScreenshot(&window, options.screenshotPath, &why)) {
                printErr(QStringLiteral("trelvo-studio: cannot write the screenshot \"%1\": %2")
                             .arg(QDir::toNativeSeparators(options.screenshotPath), why));
                code = 1;
            }
            QApplication::exit(code);
        });
        const int loop = app.exec();
        return code != 0 ? code : loop;
    }

    if (!problems.isEmpty()) {
        for (const QString &p : problems)
            printErr(QStringLiteral("trelvo-studio: %1").arg(p));
        QTimer::singleShot(0, &window, [&window, problems] {
            StudioPrompt::warning(&window,
                problems.join(QStringLiteral("\n\n"))
                    + QStringLiteral("\n\nThe studio runs without what is missing."));
        });
    }
    return app.exec();
}

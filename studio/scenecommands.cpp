#include "scenecommands.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzrendermgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "motioncommands.h"
#include "motionimportdialog.h"
#include "studiodocument.h"
#include "studioprompt.h"
#include "studiosettings.h"
#include "studioviewport.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

SceneCommands::SceneCommands(StudioDocument *document, QWidget *parent)
    : QObject(parent)
    , m_document(document)
    , m_parent(parent)
{
}

bool SceneCommands::addStandardFigure()
{
    QString error;
    if (!m_document->addStandardFigure(&error)) {
        StudioPrompt::error(m_parent, error);
        return false;
    }
    return true;
}

bool SceneCommands::addFigureFromFile(const QString &requested)
{
    QString path = requested;
    if (path.isEmpty()) {
        const QString figures
            = dzApp ? dzApp->getContentMgr()->getAbsolutePath(QStringLiteral("figures")) : QString();
        path = StudioPrompt::openFileName(m_parent, QStringLiteral("Add Figure"),
            figures.isEmpty() ? StudioSettings::lastDirectory() : figures,
            QStringLiteral("Figure files (*.json);;All files (*)"));
        if (path.isEmpty())
            return false;
    }
    QString error;
    if (!m_document->addFigure(path, &error)) {
        StudioPrompt::error(m_parent, error);
        return false;
    }
    return true;
}

bool SceneCommands::deleteSelectedFigure()
{
    DzSkeleton *figure = m_document->selectedFigure();
    if (!figure)
        return false;
    // Removing a figure cannot be undone: ask first.
    if (!StudioPrompt::question(m_parent,
            QStringLiteral("Delete the figure \"%1\" with all its bones and keys?\n"
                           "This cannot be undone.")
                .arg(figure->getLabel())))
        return false;
    const QString label = figure->getLabel();
    const bool ok = m_document->deleteFigure(figure);
    if (ok)
        emit statusMessage(QStringLiteral("Deleted %1").arg(label), 5000);
    return ok;
}

void SceneCommands::selectFigureOfSelection()
{
    if (DzSkeleton *figure = m_document->selectedFigure())
        StudioViewport::selectOnly(dzScene, figure);
}

bool SceneCommands::saveImage(const QString &requested)
{
    if (!dzApp || !dzApp->getRenderMgr())
        return false;
    QString path = requested;
    if (path.isEmpty()) {
        path = StudioPrompt::saveFileName(m_parent, QStringLiteral("Save Image"),
            QDir(StudioSettings::lastDirectory()).filePath(QStringLiteral("render.png")),
            QStringLiteral("PNG images (*.png)"));
        if (path.isEmpty())
            return false;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".png");
    }
    if (!dzApp->getRenderMgr()->doRender(path)) {
        StudioPrompt::error(m_parent,
            QStringLiteral("The image was not saved.\n%1").arg(dzApp->getRenderMgr()->getLastError()));
        return false;
    }
    StudioSettings::setLastDirectoryOf(path);
    emit statusMessage(QStringLiteral("Saved image %1").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

bool SceneCommands::importMotion(const QString &requested)
{
    DzSkeleton *figure = m_document->selectedFigure();
    if (!figure) {
        StudioPrompt::information(m_parent, QStringLiteral("Select the figure to put the motion on first."));
        return false;
    }
    QString path = requested;
    if (path.isEmpty()) {
        path = StudioPrompt::openFileName(m_parent, QStringLiteral("Import Motion"),
            StudioSettings::lastDirectory(), MotionCommands::fileFilter());
        if (path.isEmpty())
            return false;
    }
    trelvo::motion::MotionImportOptions options;
    if (requested.isEmpty() && !MotionImportDialog::ask(m_parent, path, figure, &options))
        return false;
    QString error, summary;
    if (!MotionCommands::importMotion(dzScene, path, figure, dzScene->getTime(), &error, &summary, options)) {
        StudioPrompt::error(m_parent, error);
        return false;
    }
    StudioSettings::setLastDirectoryOf(path);
    emit statusMessage(summary, 8000);
    return true;
}

bool SceneCommands::exportMotion(const QString &requested)
{
    DzSkeleton *figure = m_document->selectedFigure();
    if (!figure) {
        StudioPrompt::information(
            m_parent, QStringLiteral("Select the figure whose motion to export first."));
        return false;
    }
    QString path = requested;
    if (path.isEmpty()) {
        path = StudioPrompt::saveFileName(m_parent, QStringLiteral("Export Motion"),
            QDir(StudioSettings::lastDirectory()).filePath(figure->getName() + QStringLiteral(".bvh")),
            MotionCommands::fileFilter());
        if (path.isEmpty())
            return false;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".bvh");
    }
    QString error;
    if (!MotionCommands::exportMotion(dzScene, path, figure, dzScene->getAnimRange(), &error)) {
        StudioPrompt::error(m_parent, error);
        return false;
    }
    StudioSettings::setLastDirectoryOf(path);
    emit statusMessage(QStringLiteral("Exported %1").arg(QDir::toNativeSeparators(path)), 5000);
    return true;
}

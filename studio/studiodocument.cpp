#include "studiodocument.h"

#include "dzapp.h"
#include "dzbone.h"
#include "dzcontentmgr.h"
#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzskeleton.h"
#include "dzundostack.h"
#include "studioviewport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <cmath>

namespace {

// Figures stand this far apart along X (cm, times the figure's scale).
constexpr double kFigureSpacing = 80.0;

QString contentDirectory()
{
    if (dzApp && dzApp->getContentMgr())
        return dzApp->getContentMgr()->getContentDirectory();
    return DzContentMgr::defaultContentDirectory();
}

} // namespace

StudioDocument::StudioDocument(DzScene *scene, QObject *parent)
    : QObject(parent)
    , m_scene(scene)
{
}

QString StudioDocument::displayName() const
{
    return m_path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_path).fileName();
}

bool StudioDocument::isModified() const
{
    return m_scene && m_scene->isModified();
}

void StudioDocument::setFilePath(const QString &path)
{
    if (path == m_path)
        return;
    m_path = path;
    emit filePathChanged(path);
}

QString StudioDocument::fileFilter()
{
    return QStringLiteral("Trelvo scenes (*.trelvo);;All files (*)");
}

QString StudioDocument::fileSuffix()
{
    return QStringLiteral("trelvo");
}

QString StudioDocument::standardFigurePath() const
{
    return DzFigureLoader::standardFigurePath(contentDirectory());
}

bool StudioDocument::newScene(QString *error)
{
    if (!m_scene) {
        if (error)
            *error = tr("There is no scene.");
        return false;
    }
    m_scene->clear();
    DzUndoStack::instance()->clear();
    setFilePath(QString());
    const bool ok = addStandardFigure(error) != nullptr;
    // A fresh scene with its default figure has nothing to save yet.
    m_scene->setModified(false);
    return ok;
}

bool StudioDocument::open(const QString &path, QString *error)
{
    if (!m_scene) {
        if (error)
            *error = tr("There is no scene.");
        return false;
    }
    QString why;
    if (!loadSceneFile(path, &why)) {
        if (error)
            *error = tr("Cannot open \"%1\":\n%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    setFilePath(QFileInfo(path).absoluteFilePath());
    m_scene->setModified(false);
    return true;
}

bool StudioDocument::save(const QString &path, QString *error)
{
    const QString target = path.isEmpty() ? m_path : path;
    if (target.isEmpty()) {
        if (error)
            *error = tr("The scene has no file name yet.");
        return false;
    }
    QString why;
    if (!saveSceneFile(target, &why)) {
        if (error)
            *error = tr("Cannot save \"%1\":\n%2").arg(QDir::toNativeSeparators(target), why);
        return false;
    }
    setFilePath(QFileInfo(target).absoluteFilePath());
    m_scene->setModified(false);
    return true;
}

DzSkeleton *StudioDocument::addStandardFigure(QString *error)
{
    return addFigure(standardFigurePath(), error);
}

DzSkeleton *StudioDocument::addFigure(const QString &figureFile, QString *error)
{
    if (!m_scene) {
        if (error)
            *error = tr("There is no scene.");
        return nullptr;
    }
    QString why;
    DzSkeleton *figure = DzFigureLoader::loadFile(figureFile, &why);
    if (!figure) {
        if (error)
            *error = tr("Cannot load the figure \"%1\":\n%2").arg(QDir::toNativeSeparators(figureFile), why);
        return nullptr;
    }

    // Names and labels that tell the figures apart in lists and files.
    QSet<QString> names, labels;
    int figures = 0;
    double rightmost = -1e30;
    for (DzNode *node : m_scene->getNodeList()) {
        names.insert(node->getName());
        labels.insert(node->getLabel());
        if (auto *other = qobject_cast<DzSkeleton *>(node)) {
            ++figures;
            rightmost = std::max(rightmost, double(other->getWSPos().x()));
        }
    }
    if (names.contains(figure->getName()) || labels.contains(figure->getLabel())) {
        const QString baseName = figure->getName();
        const QString baseLabel = figure->getLabel();
        for (int n = 2;; ++n) {
            const QString name = QStringLiteral("%1_%2").arg(baseName).arg(n);
            const QString label = QStringLiteral("%1 %2").arg(baseLabel).arg(n);
            if (!names.contains(name) && !labels.contains(label)) {
                figure->setName(name);
                figure->setLabel(label);
                break;
            }
        }
    }
    if (figures > 0) {
        // Stand the newcomer to the right of the others rather than inside
        // them; this is its rest placement, not a key.
        const DzNode *hip = figure->findBone(QStringLiteral("hip"));
        const double scale = hip && hip->getOrigin().y() > 0.0f
            ? hip->getOrigin().y() / DzFigureLoader::kStandardHipHeight
            : 1.0;
        figure->getXPosControl()->setValue(float(rightmost + kFigureSpacing * scale));
    }
    m_scene->addNode(figure);
    StudioViewport::selectOnly(m_scene, figure);
    return figure;
}

bool StudioDocument::deleteFigure(DzSkeleton *figure)
{
    if (!m_scene || !figure || figure->getScene() != m_scene)
        return false;
    return m_scene->removeNode(figure);
}

DzSkeleton *StudioDocument::selectedFigure() const
{
    DzNode *primary = m_scene ? m_scene->getPrimarySelection() : nullptr;
    return primary ? primary->getSkeleton() : nullptr;
}

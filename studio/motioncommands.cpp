#include "motioncommands.h"

#include "dzscene.h"
#include "dzskeleton.h"
#include "dzundostackhold.h"
#include "motionexporter.h"
#include "motionimporter.h"

#include <QDir>
#include <QPointer>

#include <algorithm>
#include <filesystem>

namespace {

std::filesystem::path toPath(const QString &path)
{
    return std::filesystem::path(path.toStdString());
}

} // namespace

QString MotionCommands::fileFilter()
{
    return QStringLiteral("BVH motion (*.bvh);;All files (*)");
}

bool MotionCommands::importMotion(DzScene *scene, const QString &path, DzSkeleton *figure, DzTime startTime,
    QString *error, QString *summary, const trelvo::motion::MotionImportOptions &importOptions)
{
    if (!scene || !figure) {
        if (error)
            *error = QStringLiteral("Select a figure to put the motion on.");
        return false;
    }
    trelvo::motion::MotionImportOptions options = importOptions;
    options.startTime = startTime;
    trelvo::motion::MotionImporter importer;

    // Every bone's keys change together: one undo step for the whole import.
    QList<QPointer<DzNode>> nodes;
    for (DzNode *node : figure->getNodesInHierarchy())
        nodes.append(node);
    bool ok = false;
    {
        DzUndoStackHold hold;
        for (const QPointer<DzNode> &n : nodes)
            n->beginEdit();
        ok = importer.importFile(toPath(path), figure, options);
        for (const QPointer<DzNode> &n : nodes)
            if (n)
                n->finishEdit();
        hold.accept(QStringLiteral("Import Motion"));
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("Cannot import \"%1\":\n%2")
                         .arg(QDir::toNativeSeparators(path), QString::fromStdString(importer.errorString()));
        return false;
    }

    const trelvo::motion::MotionImportReport &report = importer.report();
    const DzTimeRange anim = scene->getAnimRange();
    if (report.range.getEnd() > anim.getEnd()) {
        scene->setAnimRange(
            DzTimeRange(std::min(anim.getStart(), report.range.getStart()), report.range.getEnd()));
        const DzTimeRange play = scene->getPlayRange();
        scene->setPlayRange(DzTimeRange(play.getStart(), report.range.getEnd()));
    }
    if (summary) {
        *summary
            = QStringLiteral("Imported %1 frames onto %2").arg(report.framesWritten).arg(figure->getLabel());
        if (!report.undrivenBones.empty())
            *summary += QStringLiteral(" (%1 bones not in the file keep their animation)")
                            .arg(report.undrivenBones.size());
        if (report.droppedFirstFrame)
            *summary += QStringLiteral("; frame 1, a rest pose, was left out");
        if (!report.warnings.empty())
            *summary += QStringLiteral("; %1").arg(QString::fromStdString(report.warnings.front()));
    }
    return true;
}

bool MotionCommands::exportMotion(
    DzScene *scene, const QString &path, const DzSkeleton *figure, const DzTimeRange &range, QString *error)
{
    if (!scene || !figure) {
        if (error)
            *error = QStringLiteral("Select the figure whose motion to export.");
        return false;
    }
    trelvo::motion::MotionExportOptions options;
    options.step = std::max<DzTime>(1, scene->getTimeStep());
    trelvo::motion::MotionExporter exporter;
    if (!exporter.exportFile(toPath(path), figure, range, options)) {
        if (error)
            *error = QStringLiteral("Cannot export to \"%1\":\n%2")
                         .arg(QDir::toNativeSeparators(path), QString::fromStdString(exporter.errorString()));
        return false;
    }
    return true;
}

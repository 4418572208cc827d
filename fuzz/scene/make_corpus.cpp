// Writes the seed corpus of fuzz_scene: scene files made by the scene
// writer (a keyed and posed standard figure with audio and a selection; two
// figures, one following the other) and an object file holding every value
// type. Usage: fuzz_scene_corpus FOLDER
#include "dzapp.h"
#include "dzaudioclip.h"
#include "dzcontentmgr.h"
#include "dzfigureloader.h"
#include "dzfilesystem.h"
#include "dzfloatproperty.h"
#include "dzoutfile.h"
#include "dzquat.h"
#include "dzscene.h"
#include "dzscenefile.h"
#include "dzskeleton.h"
#include "dzvec3.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

bool writeScene(const QString &folder, const char *name)
{
    DzSceneFile file;
    QByteArray data;
    QString error;
    if (!file.saveToData(&data) || !dzWriteFileAtomically(folder + QLatin1Char('/') + QLatin1String(name), data, &error)) {
        std::fprintf(stderr, "fuzz_scene_corpus: %s\n", qPrintable(error + file.getErrorString()));
        return false;
    }
    return true;
}

DzSkeleton *figure(const QString &path)
{
    QString error;
    DzSkeleton *skeleton = DzFigureLoader::loadFile(path, &error);
    if (!skeleton)
        std::fprintf(stderr, "fuzz_scene_corpus: %s\n", qPrintable(error));
    return skeleton;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_scene_corpus FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    DzApp host;
    const QString figures = DzContentMgr::defaultContentDirectory() + QStringLiteral("/figures/");
    bool ok = true;

    ok &= writeScene(folder, "empty.trelvo");

    // A small figure keeps the fuzzer's inputs short.
    QString error;
    DzSkeleton *small = DzFigureLoader::loadData(QByteArrayLiteral(
        R"({"format": "trelvo-figure", "version": 1,
            "figure": {"name": "Fig", "label": "Fig", "rotationOrder": "XYZ", "origin": [0, 0, 0],
                       "endPoint": [0, 1, 0], "morphs": [{"name": "Smile", "label": "Smile"}]},
            "bones": [{"name": "hip", "label": "Hip", "parent": null, "origin": [0, 99, 0],
                       "endPoint": [0, 110, 0], "rotationOrder": "YZX"},
                      {"name": "abdomen", "label": "Abdomen", "parent": "hip", "origin": [0, 105, 0],
                       "endPoint": [0, 115, 0], "rotationOrder": "YZX", "followBone": "hip"}]})"),
        &error);
    if (!small) {
        std::fprintf(stderr, "fuzz_scene_corpus: %s\n", qPrintable(error));
        return 1;
    }
    dzScene->addNode(small);
    small->findNodeChild(QStringLiteral("hip"))->getYRotControl()->setValue(160, 30.0f);
    dzScene->selectNode(small, true);
    ok &= writeScene(folder, "small_figure.trelvo");
    dzScene->removeNode(small);
    delete small;

    DzSkeleton *standard = figure(figures + QStringLiteral("standard.json"));
    if (!standard)
        return 1;
    dzScene->addNode(standard);
    dzScene->setTimeStep(160);
    dzScene->setAnimRange(DzTimeRange(0, 9600));
    dzScene->setPlayRange(DzTimeRange(480, 4800));
    dzScene->setTime(800);
    DzNode *arm = standard->findNodeChild(QStringLiteral("lShldr"), true);
    arm->getXRotControl()->setValue(0, 10.0f);
    arm->getXRotControl()->setValue(4800, -35.5f);
    standard->getXRotControl()->setValue(12.0f);
    dzScene->selectNode(arm, true);
    auto *clip = new DzAudioClip();
    clip->setPcmData(QByteArray(64, '\x10'), 8000, 1, 2);
    dzScene->setAudio(clip);
    dzScene->setAudioStartFrame(3);
    ok &= writeScene(folder, "standard_keyed.trelvo");

    DzSkeleton *partial = figure(figures + QStringLiteral("partial.json"));
    if (!partial)
        return 1;
    dzScene->addNode(partial);
    partial->setFollowTarget(standard);
    ok &= writeScene(folder, "two_figures.trelvo");

    // Every value type, in an object of a class the scene does not know.
    DzNode key(QStringLiteral("values"));
    DzOutFile out;
    out.addObject(&key, DzGUID::fromString(QStringLiteral("0F0F0F0F-1111-2222-3333-444455556666")),
        [&key](DzOutFile *f) {
            f->startSection(1);
            f->writeInt(-7);
            f->writeFloat(1.5f);
            f->writeDouble(-2.25);
            f->writeBool(true);
            f->writeString(QStringLiteral("text \u00e9"));
            f->writeVec(DzVec3(1, 2, 3));
            f->writeQuat(DzQuat(0, 0, 0, 1));
            f->writePointer(&key);
            f->writeBytes(QByteArray("\x00\x01\x02", 3));
            f->endSection();
            f->writeIntSection(2, 42);
        });
    if (!dzWriteFileAtomically(folder + QStringLiteral("/values.obj"), out.getData(), &error)) {
        std::fprintf(stderr, "fuzz_scene_corpus: %s\n", qPrintable(error));
        ok = false;
    }
    return ok ? 0 : 1;
}

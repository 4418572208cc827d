// The whole road a user takes with motion capture: a BVH take imported into
// a block, the block placed on a timeline and baked, compared frame by frame
// with the same take imported straight onto a figure as keys.
#include "stocktestsupport.h"

#include "composer.h"
#include "kbatool.h"

#include <kykeystoblock.h>
#include <kytime.h>
#include <motionimporter.h>

#include <dzapp.h>
#include <dzbone.h>
#include <dzfigureloader.h>
#include <dzscene.h>
#include <dzskeleton.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

TEST(ImportComposeBake, BakedTimelineGivesBackTheImportedRotations)
{
    QTemporaryDir dir;
    const QString bvh = contentDir() + QStringLiteral("/mocap/bvh/walk_02.bvh");
    const QString block = dir.filePath(QStringLiteral("walk_part.kba"));
    QString messages;
    ASSERT_EQ(runKba({"import-bvh", bvh, block, "--from", "0.3", "--to", "1.3"}, &messages), kKbaOk)
        << messages.toStdString();

    const QString recipe = dir.filePath(QStringLiteral("recipe.json"));
    {
        QFile file(recipe);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"blocks": [{"file": "walk_part.kba"}]})").toUtf8());
    }
    const QString baked = dir.filePath(QStringLiteral("baked.json"));
    {
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        ASSERT_EQ(runCompose({recipe, "-o", baked}, out, err), 0) << errText.toStdString();
    }
    QFile bakedFile(baked);
    ASSERT_TRUE(bakedFile.open(QIODevice::ReadOnly));
    const QJsonArray frames = QJsonDocument::fromJson(bakedFile.readAll()).object().value("frames").toArray();

    // The reference: the same take imported onto a figure of our own.
    DzApp app;
    DzSkeleton *figure = DzFigureLoader::loadStandardFigure(contentDir());
    ASSERT_NE(figure, nullptr);
    dzScene->addNode(figure);
    dzScene->setTimeStep(kSampleStepTicks);
    trelvo::motion::MotionImportOptions options;
    options.retarget.fromSeconds = 0.3;
    options.retarget.toSeconds = 1.3;
    trelvo::motion::MotionImporter importer;
    ASSERT_TRUE(importer.importFile(QFile::encodeName(bvh).toStdString(), figure, options));
    const int imported = importer.report().framesWritten;
    ASSERT_GE(imported, 30);
    // The track ends on the block's last key, so the bake stops one frame short.
    ASSERT_GE(frames.size(), imported - 1);

    DzBone *hip = figure->findBone(QStringLiteral("hip"));
    ASSERT_NE(hip, nullptr);
    const DzVec3 start = hip->getLocalPos(0);
    double worst = 0.0;
    QString worstBone;
    for (int k = 0; k < imported - 1; ++k) {
        const QJsonObject frame = frames.at(k).toObject();
        const DzTime tick = frame.value("tick").toInt();
        ASSERT_EQ(tick, k * kSampleStepTicks);
        const QJsonObject bones = frame.value("bones").toObject();
        for (DzBone *bone : figure->getAllBones()) {
            const QJsonArray q = bones.value(bone->getName()).toObject().value("quat").toArray();
            ASSERT_EQ(q.size(), 4) << bone->getName().toStdString();
            const DzQuat bakedRot(q.at(0).toDouble(), q.at(1).toDouble(), q.at(2).toDouble(), q.at(3).toDouble());
            const double d = degreesBetween(bakedRot, bone->getLocalRot(tick));
            if (d > worst) {
                worst = d;
                worstBone = bone->getName();
            }
        }
        // The block starts at the track's origin: the hip travels from there.
        const QJsonArray p = frame.value("hipPos").toArray();
        const DzVec3 ref = hip->getLocalPos(tick);
        EXPECT_NEAR(p.at(0).toDouble(), ref.m_x - start.m_x, 0.05) << "frame " << k;
        EXPECT_NEAR(p.at(1).toDouble(), ref.m_y, 0.05) << "frame " << k;
        EXPECT_NEAR(p.at(2).toDouble(), ref.m_z - start.m_z, 0.05) << "frame " << k;
    }
    EXPECT_LT(worst, 0.05) << "worst bone " << worstBone.toStdString();
    dzScene->removeNode(figure);
}

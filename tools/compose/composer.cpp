#include "composer.h"

#include "framewriter.h"
#include "recipe.h"

#include "figurebinding.h"
#include "kybake.h"
#include "kyoffsets.h"
#include "kytime.h"
#include "kytimeline.h"
#include "kytrack.h"
#include "kymixerserial.h"

#include "kyblock.h"
#include "nodetable.h"

#include "atomicfile.h"
#include "bvhwriter.h"
#include "motionexporter.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzfilesystem.h"
#include "dzfigureloader.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QFile>
#include <QFileInfo>

#include <memory>
#include <string>
#include <thread>

namespace {

QString usage()
{
    return QStringLiteral(
        "usage: trelvo-compose RECIPE.json [-o OUT.json] [--bvh OUT.bvh] [--scene OUT.trelvo] [--figure FILE] "
        "[--fps N]\n"
        "  at most 1000000 frames are written");
}

// The scene's time settings, put back when composing is over.
class SceneTimeGuard
{
public:
    SceneTimeGuard()
        : m_step(dzScene->getTimeStep())
        , m_time(dzScene->getTime())
        , m_anim(dzScene->getAnimRange())
        , m_play(dzScene->getPlayRange())
    {
    }
    ~SceneTimeGuard()
    {
        if (!dzScene)
            return;
        dzScene->setTimeStep(m_step);
        dzScene->setAnimRange(m_anim);
        dzScene->setPlayRange(m_play);
        dzScene->setTime(m_time);
    }

private:
    DzTime m_step;
    DzTime m_time;
    DzTimeRange m_anim;
    DzTimeRange m_play;
};

// Leaves the scene without the figure, however composing ends.
class FigureGuard
{
public:
    explicit FigureGuard(DzSkeleton *figure)
        : m_figure(figure)
    {
        dzScene->addNode(figure);
    }
    ~FigureGuard()
    {
        if (dzScene && m_figure)
            dzScene->removeNode(m_figure);
    }

private:
    DzSkeleton *m_figure;
};

// Makes a figure's BVH text on a thread of its own, then writes it.
class BvhMaker
{
public:
    BvhMaker() = default;
    BvhMaker(const BvhMaker &) = delete;
    BvhMaker &operator=(const BvhMaker &) = delete;
    ~BvhMaker()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // The figure must stay unchanged until write() or destruction.
    void start(DzSkeleton *figure, const DzTimeRange &range, DzTime step, const std::string &path)
    {
        m_path = path;
        m_thread = std::thread([this, figure, range, step] {
            trelvo::motion::MotionExportOptions options;
            options.step = step;
            trelvo::motion::MotionExporter exporter;
            trelvo::motion::BvhData data;
            trelvo::motion::BvhWriter writer;
            if (!exporter.exportBvh(figure, range, data, options))
                m_error = exporter.errorString();
            else if (!writer.toText(data, m_text))
                m_error = m_path + ": " + writer.errorString();
            else
                m_made = true;
        });
    }

    // Waits for the text and replaces the file with it; false with *error.
    bool write(std::string *error)
    {
        if (m_thread.joinable())
            m_thread.join();
        if (!m_made) {
            *error = m_error;
            return false;
        }
        return trelvo::motion::writeFileAtomically(m_path, m_text, error);
    }

private:
    std::thread m_thread;
    std::string m_path;
    std::string m_text;
    std::string m_error;
    bool m_made = false;
};

QString figurePath(const QString &figure)
{
    if (figure.isEmpty() || figure == QLatin1String("standard") || figure == QLatin1String("large")
        || figure == QLatin1String("partial")) {
        const QString dir = dzApp && dzApp->getContentMgr()
            ? dzApp->getContentMgr()->getContentDirectory()
            : DzContentMgr::defaultContentDirectory();
        return dir + QStringLiteral("/figures/")
            + (figure.isEmpty() ? QStringLiteral("standard") : figure) + QStringLiteral(".json");
    }
    return figure;
}

// Places the recipe's blocks on the track; false with *error on a block
// that cannot be read or placed.
bool buildTrack(const Recipe &recipe, KyTimeline &timeline, QString *error)
{
    KyTrack *track = timeline.currentTrack();
    int number = 1;
    for (const RecipeBlock &b : recipe.blocks) {
        const QString where = QStringLiteral("block %1").arg(number++);
        QString reason;
        KyBlock *library = KyBlock::get(b.file, &reason);
        if (!library) {
            *error = QStringLiteral("%1: cannot read %2: %3").arg(where, b.file, reason);
            return false;
        }
        if (library->loopLength() < 1) {
            *error = QStringLiteral("%1: %2 holds no motion").arg(where, b.file);
            return false;
        }
        // A drop from the library gets the pane's default flags; the other
        // fields are the library block's until the recipe says otherwise.
        std::unique_ptr<KyBlock> copy(library->clone());
        copy->flags = b.flags.value_or(timeline.defaultFlags());
        if (b.speed) {
            copy->speed = *b.speed;
            copy->outPoint = KyTrack::outPointForSpeed(library->toClipMs(library->outPoint), *b.speed);
        }
        copy->mirror = b.mirror.value_or(copy->mirror);
        if (b.posOffset)
            copy->posOffset = Vec3f{(*b.posOffset)[0], (*b.posOffset)[1], (*b.posOffset)[2]};
        copy->facingOffset = b.facingOffset.value_or(copy->facingOffset);
        copy->internalBlend = b.internalBlend.value_or(copy->internalBlend);

        KyBlock *placed = track->appendBlock(*copy, false);
        const int in = b.inPoint.value_or(placed->inPoint);
        const int out = b.outPoint.value_or(placed->outPoint);
        if (out <= in) {
            *error = QStringLiteral("%1: \"outPoint\" (%2) must lie after \"inPoint\" (%3)")
                         .arg(where)
                         .arg(out)
                         .arg(in);
            return false;
        }
        track->setInOut(placed, in, out);
        if (b.gap)
            track->setGap(placed, *b.gap);
        if (b.blendIn)
            track->setBlendIn(placed, *b.blendIn);
        if (track->endTime() > kMaxRecipeMs) {
            *error = QStringLiteral("%1: the timeline becomes longer than one hour").arg(where);
            return false;
        }
    }
    return true;
}

} // namespace

bool parseComposeArguments(const QStringList &args, ComposeOptions *options, QString *error)
{
    ComposeOptions parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("-o") || arg == QLatin1String("--bvh") || arg == QLatin1String("--scene")
            || arg == QLatin1String("--figure") || arg == QLatin1String("--fps")) {
            if (!hasValue) {
                *error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            const QString value = args[++i];
            if (arg == QLatin1String("-o")) {
                parsed.outPath = value;
            } else if (arg == QLatin1String("--bvh")) {
                parsed.bvhPath = value;
            } else if (arg == QLatin1String("--scene")) {
                parsed.scenePath = value;
            } else if (arg == QLatin1String("--figure")) {
                parsed.figure = QFileInfo(value).absoluteFilePath();
            } else {
                bool ok = false;
                parsed.fps = value.toInt(&ok);
                if (!ok || parsed.fps < 1 || parsed.fps > 4800 || 4800 % parsed.fps != 0) {
                    *error = QStringLiteral("--fps must divide 4800 ticks a second evenly "
                                            "(for example 24, 25, 30 or 60), not \"%1\"")
                                 .arg(value);
                    return false;
                }
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else if (parsed.recipePath.isEmpty()) {
            parsed.recipePath = arg;
        } else {
            *error = QStringLiteral("more than one recipe given");
            return false;
        }
    }
    if (parsed.recipePath.isEmpty()
        || (parsed.outPath.isEmpty() && parsed.bvhPath.isEmpty() && parsed.scenePath.isEmpty())) {
        *error = QStringLiteral("a recipe and -o OUT.json, --bvh OUT.bvh or --scene OUT.trelvo are needed");
        return false;
    }
    *options = parsed;
    return true;
}

int runCompose(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        out << usage() << "\n";
        out.flush();
        return 0;
    }
    ComposeOptions options;
    QString error;
    if (!parseComposeArguments(args, &options, &error)) {
        err << "trelvo-compose: " << error << "\n" << usage() << "\n";
        err.flush();
        return 2;
    }
    const auto fail = [&](const QString &message) {
        err << "trelvo-compose: " << options.recipePath << ": " << message << "\n";
        err.flush();
        return 1;
    };

    Recipe recipe;
    if (!loadRecipe(options.recipePath, &recipe, &error))
        return fail(error);

    std::unique_ptr<DzApp> ownApp;
    if (!dzApp)
        ownApp = std::make_unique<DzApp>();
    if (!dzScene)
        return fail(QStringLiteral("no scene"));
    // Block records bind to node table entries: the standard nodes come first.
    if (nodeTable().count < 2)
        registerStandardNodes();

    const QString figureFile = figurePath(options.figure.isEmpty() ? recipe.figure : options.figure);
    DzSkeleton *figure = DzFigureLoader::loadFile(figureFile, &error);
    if (!figure)
        return fail(QStringLiteral("figure %1: %2").arg(figureFile, error));
    if (figure->getAllBones().isEmpty()) {
        delete figure;
        return fail(QStringLiteral("figure %1 has no bones to compose").arg(figureFile));
    }

    SceneTimeGuard timeGuard;
    FigureGuard figureGuard(figure);
    dzScene->setTimeStep(4800 / options.fps);
    dzScene->setTime(0);
    {
        KyTimeline timeline;
        timeline.activateNode(figure);
        FigureBinding *binding = timeline.currentBinding();
        binding->m_heelOffset = recipe.heelOffset;
        for (const RecipeOffset &offset : recipe.rotationalOffsets) {
            if (!setRotationalOffset(*binding, offset.bone, offset.quat[0], offset.quat[1],
                                     offset.quat[2], offset.quat[3]))
                return fail(QStringLiteral("rotationalOffsets: the figure has no bone \"%1\"")
                                .arg(offset.bone));
        }
        if (!buildTrack(recipe, timeline, &error))
            return fail(error);
        trimTimelineRange(timeline);
        // Bound before baking: an hour at a fine frame rate would bake and
        // write for minutes and fill the disk.
        const qint64 step = dzScene->getTimeStep();
        const qint64 count = (qint64(dzScene->getAnimRange().getEnd()) + step - 1) / step;
        if (count > kMaxComposeFrames)
            return fail(QStringLiteral("the timeline would make %1 frames at %2 frames a second; "
                                       "at most %3 are written (shorten the timeline or lower --fps)")
                            .arg(count)
                            .arg(options.fps)
                            .arg(kMaxComposeFrames));
        if (!options.scenePath.isEmpty()) {
            // Opened in the studio, the figure comes up selected with its track shown.
            dzScene->setPrimarySelection(figure);
            if (!kySaveSceneWithTimeline(options.scenePath, timeline, &error))
                return fail(QStringLiteral("cannot write %1: %2").arg(options.scenePath, error));
        }
        bakeTimeline(timeline);
    }
    const DzTime step = dzScene->getTimeStep();
    const DzTime end = dzScene->getAnimRange().getEnd();
    const DzTime frames = (end + step - 1) / step;
    // The BVH text is made while the JSON is written (both only read the
    // baked figure); its file is still written after the JSON's, so that
    // a failure leaves the files as before.
    BvhMaker bvh;
    if (!options.bvhPath.isEmpty() && frames >= 1) {
        // The same frames as the JSON: ticks 0, step, ... before the end.
        bvh.start(figure, DzTimeRange(0, (frames - 1) * step), step,
                  QFile::encodeName(options.bvhPath).toStdString());
    }
    if (!options.outPath.isEmpty() && !writeFrames(options.outPath, figure, options.fps, &error))
        return fail(error);
    if (!options.bvhPath.isEmpty()) {
        if (frames < 1)
            return fail(QStringLiteral("the baked timeline holds no frame to export"));
        std::string why;
        if (!bvh.write(&why))
            return fail(QStringLiteral("cannot write %1: %2").arg(options.bvhPath, QString::fromStdString(why)));
    }
    QStringList written;
    for (const QString &path : {options.outPath, options.bvhPath, options.scenePath}) {
        if (!path.isEmpty())
            written << path;
    }
    out << "trelvo-compose: " << frames << " frames written to " << written.join(QStringLiteral(" and "))
        << "\n";
    out.flush();
    return 0;
}

#include "kbatool.h"

#include "blockfile.h"
#include "channelstore.h"
#include "evaluation.h"
#include "fileaccess.h"
#include "kyblock.h"
#include "nodetable.h"

#include "kykeystoblock.h"
#include "kytime.h"
#include "bonemapfile.h"
#include "bvhreader.h"
#include "figuretarget.h"
#include "motionimporter.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzfilesystem.h"
#include "dzfigureloader.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <memory>
#include <string>

namespace {

struct ChainDeleter {
    void operator()(ChannelRecord *chain) const { freeChain(chain); }
};
using ChainPtr = std::unique_ptr<ChannelRecord, ChainDeleter>;

std::string localPath(const QString &path)
{
    return dzEncodeFileName(path).toStdString();
}

// Every file a command reads is checked first: a named pipe would block
// the read forever.
bool checkInput(const QString &path, QTextStream &err)
{
    QString why;
    if (dzIsRegularFile(path, &why))
        return true;
    err << "trelvo-kba: " << dzDisplayName(path) << ": cannot open the file: " << why << "\n";
    return false;
}

// Why a block has no usable duration: a chain whose first record is a
// translation record but whose keys end before 0 ms is not "untimed".
QString durationProblem(const ChannelRecord *chain)
{
    if (chain && chain->type == kTranslationRecord)
        return QStringLiteral("the block's translation record ends at a negative time (%1 ms)")
            .arg(chainDuration(chain));
    return QStringLiteral("the block has no translation record to time it by");
}

// Shortest decimal text that reads back as the same float.
QString number(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
}

QString jsonString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString floats3(const Fixed v[3])
{
    return QStringLiteral("[%1, %2, %3]").arg(number(toFloat(v[0])), number(toFloat(v[1])),
                                              number(toFloat(v[2])));
}

QString raws3(const Fixed v[3])
{
    return QStringLiteral("[%1, %2, %3]").arg(v[0]).arg(v[1]).arg(v[2]);
}

QString typeName(int32_t type)
{
    switch (type) {
    case kTranslationRecord:
        return QStringLiteral("translation");
    case kAngleAxisRecord:
        return QStringLiteral("angle and axis");
    case kRotationRecord:
        return QStringLiteral("rotation vector");
    case kPackedStreamRecord:
        return QStringLiteral("packed rotation stream");
    default:
        return QStringLiteral("unknown");
    }
}

// The standard name of a hash, or empty.
QString nodeName(uint32_t hash)
{
    const NodeEntry *entry = findNodeByHash(hash);
    return entry && entry->name ? QString::fromUtf8(entry->name.get()) : QString();
}

struct DecodedEntry {
    StreamEntry entry;
    bool full;
};

std::vector<DecodedEntry> decodeStream(const ChannelRecord &record)
{
    std::vector<DecodedEntry> entries;
    StreamState state;
    size_t pos = 0;
    while (pos < record.stream.size()) {
        DecodedEntry decoded;
        const int used = decodeStreamEntry(record.stream.data() + pos, record.stream.size() - pos,
                                           state, &decoded.entry);
        if (used == 0)
            break;
        decoded.full = used == 14;
        state.time = decoded.entry.time;
        state.angle = decoded.entry.angle;
        for (int i = 0; i < 3; ++i)
            state.axis[i] = decoded.entry.axis[i];
        entries.push_back(decoded);
        pos += static_cast<size_t>(used);
    }
    return entries;
}

int keyCountOf(const ChannelRecord &record)
{
    if (record.type == kPackedStreamRecord)
        return static_cast<int>(decodeStream(record).size());
    return recordKeyCount(record);
}

bool parseInt(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

// Reads and checks a file for info and dump; names come from the standard list.
ChainPtr readChecked(const QString &path, qint64 *size, QTextStream &err)
{
    registerStandardNodes();
    if (!checkInput(path, err))
        return nullptr;
    std::string reason;
    ChainPtr chain(readBlockFile(localPath(path), &reason));
    if (!chain) {
        err << "trelvo-kba: " << path << ": " << QString::fromStdString(reason) << "\n";
        return chain;
    }
    *size = dzFileSize(path);
    return chain;
}

KyBlock *loadBlock(const QString &path, QTextStream &err)
{
    if (!checkInput(path, err))
        return nullptr;
    QString reason;
    KyBlock *block = KyBlock::get(path, &reason);
    if (!block)
        err << "trelvo-kba: " << path << ": " << reason << "\n";
    return block;
}

int commandInfo(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1) {
        err << "trelvo-kba: info takes one FILE\n" << kbaUsage();
        return kKbaBadUsage;
    }
    qint64 size = 0;
    ChainPtr chain = readChecked(args[0], &size, err);
    if (!chain)
        return kKbaFailed;
    int count = 0;
    for (const ChannelRecord *r = chain.get(); r; r = r->next)
        ++count;
    const int duration = chainDuration(chain.get());
    out << args[0] << "\n";
    out << "size: " << size << " bytes\n";
    if (duration < 0 && chain->type == kTranslationRecord)
        out << "duration: " << duration << " ms (the translation record ends before 0 ms)\n";
    else if (duration < 0)
        out << "duration: none (the first record is not a translation record)\n";
    else
        out << "duration: " << duration << " ms\n";
    out << "records: " << count << "\n";
    int index = 0;
    for (const ChannelRecord *r = chain.get(); r; r = r->next, ++index) {
        QString name = nodeName(r->bindHash);
        if (name.isEmpty())
            name = QStringLiteral("#%1").arg(r->bindHash, 8, 16, QLatin1Char('0'));
        const QString keys = r->type == kPackedStreamRecord ? QStringLiteral("entries")
                                                            : QStringLiteral("keys");
        out << QStringLiteral("  %1  %2  type %3 (%4)  %5 %6\n")
                   .arg(index, 3)
                   .arg(name, -12)
                   .arg(r->type)
                   .arg(typeName(r->type))
                   .arg(keyCountOf(*r))
                   .arg(keys);
    }
    return kKbaOk;
}

int commandValidate(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty()) {
        err << "trelvo-kba: validate takes at least one FILE\n" << kbaUsage();
        return kKbaBadUsage;
    }
    bool allValid = true;
    for (const QString &path : args) {
        std::string reason;
        QString why;
        ChainPtr chain(dzIsRegularFile(path, &why) ? readBlockFile(localPath(path), &reason) : nullptr);
        if (!why.isEmpty())
            reason = "cannot open the file: " + why.toStdString();
        if (chain) {
            out << path << ": ok\n";
        } else {
            out << path << ": " << QString::fromStdString(reason) << "\n";
            allValid = false;
        }
    }
    return allValid ? kKbaOk : kKbaFailed;
}

void dumpRecord(const ChannelRecord &r, int index, QTextStream &out)
{
    const QString name = nodeName(r.bindHash);
    out << "    {\"index\": " << index << ", \"hash\": " << r.bindHash
        << ", \"node\": " << (name.isEmpty() ? QStringLiteral("null") : jsonString(name))
        << ", \"type\": " << r.type << ", \"typeName\": " << jsonString(typeName(r.type))
        << ", \"keyCount\": " << keyCountOf(r) << ", \"keys\": [";
    bool first = true;
    auto separator = [&]() {
        out << (first ? "\n" : ",\n");
        first = false;
    };
    switch (r.type) {
    case kTranslationRecord:
    case kRotationRecord:
        for (const ChannelKey &k : r.keys) {
            separator();
            out << "      {\"timeMs\": " << k.time << ", \"value\": " << floats3(k.v)
                << ", \"raw\": " << raws3(k.v) << "}";
        }
        break;
    case kAngleAxisRecord:
        for (const AngleAxisKey &k : r.angleKeys) {
            separator();
            out << "      {\"timeMs\": " << k.time << ", \"angle\": " << number(toFloat(k.angle))
                << ", \"angleRaw\": " << k.angle << ", \"axis\": " << floats3(k.axis)
                << ", \"axisRaw\": " << raws3(k.axis) << "}";
        }
        break;
    case kPackedStreamRecord:
        for (const DecodedEntry &d : decodeStream(r)) {
            separator();
            out << "      {\"timeMs\": " << d.entry.time << ", \"form\": "
                << (d.full ? "\"full\"" : "\"delta\"") << ", \"angle\": "
                << number(toFloat(d.entry.angle)) << ", \"angleRaw\": " << d.entry.angle
                << ", \"axis\": " << floats3(d.entry.axis) << ", \"axisRaw\": " << raws3(d.entry.axis)
                << "}";
        }
        break;
    default:
        break;
    }
    out << (first ? "]}" : "\n    ]}");
}

int commandDump(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1) {
        err << "trelvo-kba: dump takes one FILE\n" << kbaUsage();
        return kKbaBadUsage;
    }
    qint64 size = 0;
    ChainPtr chain = readChecked(args[0], &size, err);
    if (!chain)
        return kKbaFailed;
    out << "{\n  \"file\": " << jsonString(args[0]) << ",\n  \"size\": " << size
        << ",\n  \"durationMs\": " << chainDuration(chain.get()) << ",\n  \"records\": [\n";
    int index = 0;
    for (const ChannelRecord *r = chain.get(); r; r = r->next, ++index) {
        if (index > 0)
            out << ",\n";
        dumpRecord(*r, index, out);
    }
    out << "\n  ]\n}\n";
    return kKbaOk;
}

int countUnnamedRecords(int slot)
{
    int count = 0;
    for (const ChannelRecord *r = slotRecords(slot); r; r = r->next) {
        if (!r->target || !r->target->name)
            ++count;
    }
    return count;
}

bool saveAs(KyBlock *block, const QString &path, QTextStream &out, QTextStream &err)
{
    block->path = path;
    QString reason;
    if (!block->save(&reason)) {
        err << "trelvo-kba: " << reason << "\n";
        return false;
    }
    out << "wrote " << QString::fromStdString(blockFilePath(localPath(path))) << ": "
        << block->clipLength << " ms\n";
    return true;
}

// A saved block takes the place of a registered block with its path; the
// registry then refers to it, so it must outlive this command.
void keepIfRegistered(std::unique_ptr<KyBlock> &block)
{
    for (const KyBlock *registered : KyBlock::registry()) {
        if (registered == block.get()) {
            block.release();
            return;
        }
    }
}

// A record filled up while resampling: the result is shorter than asked.
void warnCut(int keptMs, int64_t wantedMs, QTextStream &err)
{
    err << "trelvo-kba: warning: a record reached the limit of " << kMaxRecordKeys
        << " keys; the result keeps " << keptMs << " ms of " << wantedMs << " ms\n";
}

int commandCrop(const QStringList &args, QTextStream &out, QTextStream &err)
{
    int from = 0, to = 0;
    if (args.size() != 4 || !parseInt(args[1], &from) || !parseInt(args[2], &to)) {
        err << "trelvo-kba: crop takes IN FROM_MS TO_MS OUT (whole milliseconds)\n" << kbaUsage();
        return kKbaBadUsage;
    }
    registerStandardNodes();
    KyBlock *source = loadBlock(args[0], err);
    if (!source)
        return kKbaFailed;
    if (source->clipLength < 0) {
        err << "trelvo-kba: " << args[0] << ": " << durationProblem(slotRecords(source->clipHandle)) << "\n";
        return kKbaFailed;
    }
    if (source->clipLength == 0) {
        err << "trelvo-kba: " << args[0] << ": the block lasts 0 ms; there is nothing to crop\n";
        return kKbaFailed;
    }
    if (from < 0 || to <= from || to > source->clipLength) {
        err << "trelvo-kba: crop needs 0 <= FROM_MS < TO_MS <= " << source->clipLength
            << " (the block's duration)\n";
        return kKbaBadUsage;
    }
    const int unnamed = countUnnamedRecords(source->clipHandle);
    if (unnamed > 0)
        err << "trelvo-kba: note: " << unnamed
            << " record(s) of nodes outside the standard list are not copied\n";
    std::unique_ptr<KyBlock> part(source->clone());
    part->speed = 1.0f;
    part->inPoint = from;
    part->outPoint = to;
    bool cut = false;
    if (!part->crop(&cut)) {
        err << "trelvo-kba: no channel slot is left\n";
        return kKbaFailed;
    }
    if (cut)
        warnCut(part->clipLength, to - from, err);
    if (!saveAs(part.get(), args[3], out, err))
        return kKbaFailed;
    keepIfRegistered(part);
    return kKbaOk;
}

int commandJoin(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList files;
    int flags = 13;
    int blend = -1;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--flags") || arg == QLatin1String("--blend")) {
            int value = 0;
            if (i + 1 >= args.size() || !parseInt(args[i + 1], &value) || value < 0) {
                err << "trelvo-kba: " << arg << " needs a whole number of at least 0\n" << kbaUsage();
                return kKbaBadUsage;
            }
            (arg == QLatin1String("--flags") ? flags : blend) = value;
            ++i;
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << "trelvo-kba: unknown option " << arg << "\n" << kbaUsage();
            return kKbaBadUsage;
        } else {
            files << arg;
        }
    }
    if (files.size() != 3) {
        err << "trelvo-kba: join takes A B OUT\n" << kbaUsage();
        return kKbaBadUsage;
    }
    registerStandardNodes();
    KyBlock *first = loadBlock(files[0], err);
    KyBlock *second = first ? loadBlock(files[1], err) : nullptr;
    if (!first || !second)
        return kKbaFailed;
    std::unique_ptr<KyBlock> joined(first->clone());
    std::unique_ptr<KyBlock> appended(second->clone());
    appended->flags = flags;
    if (blend >= 0)
        appended->blendIn = blend;
    if (!joined->crop()) {
        err << "trelvo-kba: no channel slot is left\n";
        return kKbaFailed;
    }
    const int64_t wanted = static_cast<int64_t>(joined->clipLength)
        + joined->toClipMs(appended->outPoint - appended->inPoint);
    bool cut = false;
    if (!joined->append(*appended, &cut)) {
        err << "trelvo-kba: cannot join: both blocks must last at least 1 ms\n";
        return kKbaFailed;
    }
    if (cut)
        warnCut(joined->clipLength, wanted, err);
    if (!saveAs(joined.get(), files[2], out, err))
        return kKbaFailed;
    keepIfRegistered(joined);
    return kKbaOk;
}

int commandSample(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList rest;
    bool mirrored = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--mirror")) {
            mirrored = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << "trelvo-kba: unknown option " << arg << "\n" << kbaUsage();
            return kKbaBadUsage;
        } else {
            rest << arg;
        }
    }
    int timeMs = 0;
    if (rest.size() != 2 || !parseInt(rest[1], &timeMs)) {
        err << "trelvo-kba: sample takes FILE MS (whole milliseconds)\n" << kbaUsage();
        return kKbaBadUsage;
    }
    registerStandardNodes();
    KyBlock *block = loadBlock(rest[0], err);
    if (!block)
        return kKbaFailed;
    clearPoseFlags();
    sampleSlot(block->clipHandle, timeMs);
    if (mirrored)
        mirrorPose();

    out << "{\"timeMs\": " << timeMs << ", \"nodes\": [";
    const NodeTable &table = nodeTable();
    bool first = true;
    for (int i = 0; i < table.count; ++i) {
        const NodeEntry &e = table.entries[i];
        const bool written = e.nodeFlags & kNodeWritten;
        const bool hasPos = written && (e.nodeFlags & kNodeTranslationSet);
        const bool hasRot = written && (e.nodeFlags & kNodeRotationSet);
        if (!e.name || (!hasPos && !hasRot))
            continue;
        out << (first ? "\n  " : ",\n  ");
        first = false;
        out << "{\"name\": " << jsonString(QString::fromUtf8(e.name.get()));
        if (hasPos)
            out << ", \"pos\": " << floats3(e.pos) << ", \"posRaw\": " << raws3(e.pos);
        if (hasRot)
            out << ", \"angle\": " << number(toFloat(e.rotAngle)) << ", \"angleRaw\": " << e.rotAngle
                << ", \"axis\": " << floats3(e.rotAxis) << ", \"axisRaw\": " << raws3(e.rotAxis);
        out << "}";
    }
    out << (first ? "]}\n" : "\n]}\n");
    return kKbaOk;
}

bool parseSeconds(const QString &text, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value) && *value >= 0.0;
}

// Puts the scene's time step back and takes the figure out of the scene
// again, however the import ends.
class ImportStage
{
public:
    ImportStage()
        : m_step(dzScene->getTimeStep())
    {
    }
    ~ImportStage()
    {
        if (m_figure)
            dzScene->removeNode(m_figure);
        dzScene->setTimeStep(m_step);
    }
    void setFigure(DzSkeleton *figure)
    {
        m_figure = figure;
        dzScene->addNode(figure);
    }

private:
    DzTime m_step;
    DzSkeleton *m_figure = nullptr;
};

int commandImportBvh(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList files;
    trelvo::motion::MotionImportOptions options;
    bool hasTo = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            double seconds = 0.0;
            if (i + 1 >= args.size() || !parseSeconds(args[i + 1], &seconds)) {
                err << "trelvo-kba: " << arg << " needs a number of seconds of at least 0\n" << kbaUsage();
                return kKbaBadUsage;
            }
            if (arg == QLatin1String("--from")) {
                options.retarget.fromSeconds = seconds;
            } else {
                options.retarget.toSeconds = seconds;
                hasTo = true;
            }
            ++i;
        } else if (arg == QLatin1String("--keep-first-frame")) {
            options.retarget.dropFirstFrame = false;
        } else if (arg == QLatin1String("--fps")) {
            bool ok = false;
            const double fps = i + 1 < args.size() ? args[i + 1].toDouble(&ok) : 0.0;
            if (!ok || !std::isfinite(fps) || fps < 1.0 || fps > 1000.0) {
                err << "trelvo-kba: --fps needs the file's frame rate, from 1 to 1000 frames a second\n" << kbaUsage();
                return kKbaBadUsage;
            }
            options.retarget.sourceFrameTime = 1.0 / fps;
            ++i;
        } else if (arg == QLatin1String("--map")) {
            if (i + 1 >= args.size()) {
                err << "trelvo-kba: --map needs a mapping file (JSON)\n" << kbaUsage();
                return kKbaBadUsage;
            }
            QFile file(args[++i]);
            if (!file.open(QIODevice::ReadOnly)) {
                err << "trelvo-kba: " << args[i] << ": " << file.errorString() << "\n";
                return kKbaFailed;
            }
            trelvo::motion::BoneMap::Assignments mapping;
            std::string why;
            if (!trelvo::motion::parseBoneMapJson(file.readAll().toStdString(), mapping, &why)) {
                err << "trelvo-kba: " << args[i] << ": " << QString::fromStdString(why) << "\n";
                return kKbaFailed;
            }
            options.retarget.mapping = std::move(mapping);
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << "trelvo-kba: unknown option " << arg << "\n" << kbaUsage();
            return kKbaBadUsage;
        } else {
            files << arg;
        }
    }
    if (files.size() != 2) {
        err << "trelvo-kba: import-bvh takes IN.bvh OUT.kba\n" << kbaUsage();
        return kKbaBadUsage;
    }
    if (hasTo && options.retarget.toSeconds <= options.retarget.fromSeconds) {
        err << "trelvo-kba: --to must lie after --from\n" << kbaUsage();
        return kKbaBadUsage;
    }

    registerStandardNodes();
    std::unique_ptr<DzApp> ownApp;
    if (!dzApp)
        ownApp = std::make_unique<DzApp>();
    if (!dzScene) {
        err << "trelvo-kba: the host has no scene\n";
        return kKbaFailed;
    }
    const QString contentDir = dzApp->getContentMgr() ? dzApp->getContentMgr()->getContentDirectory()
                                                      : DzContentMgr::defaultContentDirectory();
    QString reason;
    DzSkeleton *figure = DzFigureLoader::loadStandardFigure(contentDir, &reason);
    if (!figure) {
        err << "trelvo-kba: standard figure in " << contentDir << ": " << reason << "\n";
        return kKbaFailed;
    }
    ImportStage stage;
    stage.setFigure(figure);
    // Blocks sample at 30 per second; keys at the same step leave nothing
    // between samples to interpolate.
    dzScene->setTimeStep(kSampleStepTicks);

    trelvo::motion::MotionImporter importer;
    if (!importer.importFile(localPath(files[0]), figure, options)) {
        err << "trelvo-kba: " << QString::fromStdString(importer.errorString()) << "\n";
        return kKbaFailed;
    }
    const auto &report = importer.report();
    for (const std::string &warning : report.warnings)
        err << "trelvo-kba: warning: " << QString::fromStdString(warning) << "\n";
    if (report.droppedFirstFrame)
        err << "trelvo-kba: note: frame 1 is a rest pose and was left out (--keep-first-frame keeps it)\n";
    err << "trelvo-kba: note: joints mapped as '" << QString::fromStdString(report.convention) << "'\n";
    if (!report.unmappedJoints.empty()) {
        QStringList names;
        for (const std::string &name : report.unmappedJoints)
            names << QString::fromStdString(name);
        err << "trelvo-kba: note: joints that drive no bone: " << names.join(QStringLiteral(", ")) << "\n";
    }

    DzNode *start = figure->findNodeChild(QStringLiteral("hip"), false);
    if (!start)
        start = figure;
    // The range's end is exclusive in sampling; one tick past the last key
    // keeps the last imported frame in the block.
    const DzTimeRange range(report.range.getStart(), report.range.getEnd() + 1);
    // Made blocks are the registry's; an unsaved one keeps an empty path, so
    // no lookup by path finds it.
    KyBlock *block = KyBlock::create();
    if (block->clipHandle < 0) {
        err << "trelvo-kba: no channel slot is left\n";
        return kKbaFailed;
    }
    const int samples = sampleRange(start, range, *block, nullptr);
    block->clipLength = durationOf(block->clipHandle);
    if (samples < 2 || block->clipLength <= 0) {
        err << "trelvo-kba: " << files[0] << ": the imported range holds fewer than two frames\n";
        return kKbaFailed;
    }
    // Sampling stops when a record is full; a longer motion is cut there.
    const int64_t span = static_cast<int64_t>(range.getEnd()) - range.getStart();
    if (samples < (span + kSampleStepTicks - 1) / kSampleStepTicks) {
        const int64_t lastKey = static_cast<int64_t>(report.range.getEnd()) - report.range.getStart();
        warnCut(block->clipLength, lastKey * 1000 / kTicksPerSecond, err);
    }
    block->name = QFileInfo(files[1]).completeBaseName();
    block->outPoint = block->loopLength();
    if (!saveAs(block, files[1], out, err)) {
        block->path.clear();
        return kKbaFailed;
    }
    out << "  " << samples << " samples from " << report.framesWritten << " imported frames\n";
    return kKbaOk;
}

int commandBvhMap(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        err << "trelvo-kba: bvh-map takes IN.bvh\n" << kbaUsage();
        return kKbaBadUsage;
    }
    trelvo::motion::BvhReader reader;
    trelvo::motion::BvhData bvh;
    if (!reader.readFile(localPath(args[0]), bvh)) {
        err << "trelvo-kba: " << QString::fromStdString(reader.errorString()) << "\n";
        return kKbaFailed;
    }
    for (const std::string &warning : reader.warnings())
        err << "trelvo-kba: warning: " << QString::fromStdString(warning) << "\n";
    std::unique_ptr<DzApp> ownApp;
    if (!dzApp)
        ownApp = std::make_unique<DzApp>();
    const QString contentDir = dzApp->getContentMgr() ? dzApp->getContentMgr()->getContentDirectory()
                                                      : DzContentMgr::defaultContentDirectory();
    QString reason;
    std::unique_ptr<DzSkeleton> figure(DzFigureLoader::loadStandardFigure(contentDir, &reason));
    trelvo::motion::FigureTarget target;
    std::string why;
    if (!figure || !trelvo::motion::FigureTarget::fromFigure(figure.get(), target, &why)) {
        err << "trelvo-kba: standard figure in " << contentDir << ": "
            << (figure ? QString::fromStdString(why) : reason) << "\n";
        return kKbaFailed;
    }
    std::vector<std::string> bones;
    for (const trelvo::motion::TargetBone &bone : target.skeleton.bones)
        bones.push_back(bone.name);
    const trelvo::motion::BoneMap map(bvh, bones);
    out << QString::fromStdString(trelvo::motion::boneMapJson(bvh, map, bones));
    return kKbaOk;
}

} // namespace

QString kbaUsage()
{
    return QStringLiteral(
        "usage: trelvo-kba COMMAND ARGUMENTS\n"
        "  info FILE                         records, duration and size of a block file\n"
        "  validate FILE...                  \"ok\" or the reason a file is refused, per file\n"
        "  dump FILE                         records and keys as JSON\n"
        "  crop IN FROM_MS TO_MS OUT         write the part between two clip times\n"
        "  join A B OUT [--flags N] [--blend MS]\n"
        "                                    write A followed by B, B continuing from A's end\n"
        "                                    (crop and join sample every 33 ms; a record holds\n"
        "                                    at most 6000 keys, and a longer result is cut there\n"
        "                                    with a warning naming the length kept)\n"
        "  sample FILE MS [--mirror]         the pose at MS as JSON\n"
        "  import-bvh IN.bvh OUT.kba [--from S] [--to S] [--keep-first-frame] [--fps N]\n"
        "             [--map MAP.json]      a block from BVH motion, through the standard\n"
        "                                    figure's keys (seconds after the first kept frame;\n"
        "                                    --fps overrides the file's frame rate; like crop\n"
        "                                    and join, at most 6000 keys, so a longer motion is\n"
        "                                    cut at about 200 s with a warning)\n"
        "  bvh-map IN.bvh                    the joint -> bone mapping import-bvh would use,\n"
        "                                    as JSON to edit and pass to --map\n");
}

int runKbaTool(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.isEmpty()) {
        err << kbaUsage();
        return kKbaBadUsage;
    }
    const QString command = args[0];
    const QStringList rest = args.mid(1);
    int status;
    if (command == QLatin1String("info"))
        status = commandInfo(rest, out, err);
    else if (command == QLatin1String("validate"))
        status = commandValidate(rest, out, err);
    else if (command == QLatin1String("dump"))
        status = commandDump(rest, out, err);
    else if (command == QLatin1String("crop"))
        status = commandCrop(rest, out, err);
    else if (command == QLatin1String("join"))
        status = commandJoin(rest, out, err);
    else if (command == QLatin1String("sample"))
        status = commandSample(rest, out, err);
    else if (command == QLatin1String("import-bvh"))
        status = commandImportBvh(rest, out, err);
    else if (command == QLatin1String("bvh-map"))
        status = commandBvhMap(rest, out, err);
    else if (command == QLatin1String("help") || command == QLatin1String("--help")
             || command == QLatin1String("-h")) {
        out << kbaUsage();
        status = kKbaOk;
    } else {
        err << "trelvo-kba: unknown command " << command << "\n" << kbaUsage();
        status = kKbaBadUsage;
    }
    out.flush();
    err.flush();
    return status;
}

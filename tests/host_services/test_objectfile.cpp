// The object file: typed sections, references resolved while reading,
// post-load, unknown sections, and refusal of truncated or corrupt files.
#include "dzbase.h"
#include "dzinfile.h"
#include "dzoutfile.h"
#include "dzoutfileformat.h"
#include "dzquat.h"
#include "dzvec3.h"
#include "servicestestsupport.h"

#include <QPointer>
#include <QtEndian>

#include <tuple>

namespace {

const DzGUID kPieceId = DzGUID::fromString(QStringLiteral("5A2B7C1D-0E3F-4A5B-9C6D-7E8F9A0B1C2D"));

// A saveable object with one section per kind of value, owned parts
// (references in section 4) and a partner it does not own (section 5).
class Piece : public DzBase {
    Q_OBJECT
public:
    static int s_alive;
    Piece() { ++s_alive; }
    ~Piece() override { --s_alive; }

    int m_int = 0;
    float m_float = 0;
    double m_double = 0;
    bool m_bool = false;
    QString m_text;
    DzVec3 m_vec;
    DzQuat m_quat;
    QByteArray m_bytes;
    QList<QPointer<Piece>> m_parts;
    QPointer<Piece> m_partner;

    QStringList m_events;
    int m_postLoads = 0;
    bool m_partsLoadedAtPostLoad = false;

    void addPart(Piece *p)
    {
        p->setParent(this);
        m_parts.append(p);
    }

    void save(DzOutFile *f) override
    {
        f->startSection(1);
        f->writeInt(m_int);
        f->writeFloat(m_float);
        f->writeDouble(m_double);
        f->writeBool(m_bool);
        f->endSection();
        f->writeStringSection(2, m_text);
        f->startSection(3);
        f->writeVec(m_vec);
        f->writeQuat(m_quat);
        f->writeBytes(m_bytes);
        f->endSection();
        f->startSection(99); // as a later version may add
        f->writeString(QStringLiteral("from a later version"));
        f->writePointer(this, 3);
        f->endSection();
        f->startSection(4);
        f->writeInt(int(m_parts.size()));
        for (int i = 0; i < m_parts.size(); ++i)
            f->writePointer(m_parts[i], short(i));
        f->endSection();
        f->writePointerSection(5, m_partner, 7);
    }

    void loadSection(DzInFile *f, short id) override
    {
        m_events.append(QStringLiteral("section %1").arg(id));
        if (id == 1) {
            m_int = f->readInt();
            m_float = f->readFloat();
            m_double = f->readDouble();
            m_bool = f->readBool();
        } else if (id == 2) {
            m_text = f->readString();
        } else if (id == 3) {
            m_vec = f->readVec();
            m_quat = f->readQuat();
            m_bytes = f->readBytes();
        } else if (id == 4) {
            f->readInt();
            short index = -1;
            while (f->readPointer(&index) == 0)
                m_events.append(QStringLiteral("read %1").arg(index));
        } else if (id == 5) {
            f->readPointer();
        } else {
            DzBase::loadSection(f, id);
        }
    }

    void setPointer(const DzInFile *, short section, short id, DzBase *object) override
    {
        m_events.append(QStringLiteral("pointer %1/%2").arg(section).arg(id));
        auto *piece = qobject_cast<Piece *>(object);
        if (section == 4 && piece) {
            piece->setParent(this);
            m_parts.append(piece);
        } else if (section == 5) {
            m_partner = piece;
        }
    }

    void postLoad() override
    {
        ++m_postLoads;
        m_partsLoadedAtPostLoad = true;
        for (const QPointer<Piece> &p : std::as_const(m_parts))
            m_partsLoadedAtPostLoad = m_partsLoadedAtPostLoad && p && !p->m_events.isEmpty();
    }
};
int Piece::s_alive = 0;

// The plain values of a piece, to compare in one go.
auto values(const Piece &p)
{
    return std::make_tuple(p.m_int, p.m_float, p.m_double, p.m_bool, p.m_text, p.m_vec, p.m_quat, p.m_bytes);
}

void fixChecksum(QByteArray &data)
{
    using namespace DzObjectFileFormat;
    const quint32 crc = crc32(data.constData() + kHeaderSize, std::size_t(data.size() - kHeaderSize));
    qToLittleEndian(crc, data.data() + 24);
}

class ObjectFile : public ServicesTest {
protected:
    void SetUp() override
    {
        ServicesTest::SetUp();
        Piece::s_alive = 0;
        ASSERT_TRUE(m_app->registerClassFactory(&m_pieceFactory));
    }

    // root (object 0) with two parts; part 0's partner is part 1 (a forward
    // reference), part 1's partner is the root (backward).
    static std::unique_ptr<Piece> makeTree()
    {
        auto root = std::make_unique<Piece>();
        root->m_int = -12;
        root->m_float = 3.5f;
        root->m_double = 1.0 / 3.0;
        root->m_bool = true;
        root->m_text = QStringLiteral("Wurzel \u00e4\u00f6 \U0001F600");
        root->m_vec = DzVec3(1.25f, -2.5f, 99.24f);
        root->m_quat = DzQuat(0.1, 0.2, 0.3, 0.927, true);
        root->m_bytes = QByteArray("\x00\x01\x02\xff", 4);
        auto *a = new Piece;
        a->m_text = QStringLiteral("a");
        auto *b = new Piece;
        b->m_text = QStringLiteral("b");
        root->addPart(a);
        root->addPart(b);
        a->m_partner = b;
        b->m_partner = root.get();
        return root;
    }

    static QByteArray write(Piece *root)
    {
        DzOutFile out;
        EXPECT_EQ(out.addObject(root), 0);
        const QByteArray data = out.getData();
        EXPECT_FALSE(out.hasError()) << out.getErrorString().toStdString();
        return data;
    }

    Factory<Piece> m_pieceFactory { kPieceId };
};

} // namespace

TEST_F(ObjectFile, RoundTripsValuesReferencesAndPostLoadSkippingUnknownSections)
{
    const auto original = makeTree();
    const QByteArray data = write(original.get());

    DzInFile in;
    ASSERT_TRUE(in.setData(data)) << in.getErrorString().toStdString();
    EXPECT_EQ(in.createObjects(), 3); // the parts joined through references
    in.loadObjects();
    in.postLoadObjects();
    EXPECT_TRUE(in.getWarnings().isEmpty()) << in.getWarnings().join('\n').toStdString();

    auto *root = qobject_cast<Piece *>(in.getObject(0));
    ASSERT_TRUE(root);
    EXPECT_TRUE(values(*root) == values(*original));
    ASSERT_EQ(root->m_parts.size(), 2);
    Piece *a = root->m_parts[0];
    Piece *b = root->m_parts[1];
    EXPECT_EQ(b->m_text, QStringLiteral("b"));
    EXPECT_EQ(a->m_partner, b);
    EXPECT_EQ(b->m_partner, root);
    for (Piece *p : { root, a, b })
        EXPECT_EQ(p->m_postLoads, 1);
    EXPECT_TRUE(root->m_partsLoadedAtPostLoad);
    // Each reference is resolved before its read returns; the one inside the
    // unknown section 99 was never read, so never resolved.
    EXPECT_EQ(root->m_events,
        (QStringList { "section 1", "section 2", "section 3", "section 99", "section 4", "pointer 4/0",
            "read 0", "pointer 4/1", "read 1", "section 5" }));
    EXPECT_TRUE(a->m_events.contains(QStringLiteral("pointer 5/7")));

    // A read of the wrong type or past the end gives a default and a
    // warning, and stops only its own section.
    ASSERT_TRUE(in.openSection(0, 0)); // section 1 starts with an int
    EXPECT_TRUE(in.readString().isEmpty());
    EXPECT_EQ(in.readInt(), 0);
    ASSERT_TRUE(in.openSection(0, 1));
    EXPECT_EQ(in.readString(), original->m_text);
    EXPECT_TRUE(in.readString().isEmpty());
    const QStringList warnings = in.getWarnings();
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("Piece (object 0) read a string where an int is stored")))
        << warnings[0].toStdString();
    EXPECT_TRUE(warnings[1].contains(QStringLiteral("read a string past the end")))
        << warnings[1].toStdString();

    // Objects handed over through setPointer belong to their receivers; the
    // root is the caller's to take.
    EXPECT_FALSE(in.ownsObject(1));
    EXPECT_FALSE(in.ownsObject(2));
    delete in.takeObject(0);
    EXPECT_EQ(Piece::s_alive, 3); // the original tree only
}

TEST_F(ObjectFile, ReadsTheVersionOneFixture)
{
    DzInFile in;
    ASSERT_TRUE(in.open(QStringLiteral(HOST_SERVICES_DATA_DIR "/objectfile_v1.dzo")))
        << in.getErrorString().toStdString();
    EXPECT_EQ(in.getVersion(), 1u);
    in.createObjects();
    std::unique_ptr<DzBase> taken(in.takeObject(0)); // the caller owns the top object
    in.loadObjects();
    in.postLoadObjects();
    auto *root = qobject_cast<Piece *>(in.getObject(0));
    ASSERT_TRUE(root);
    EXPECT_TRUE(values(*root)
        == std::make_tuple(-7, 1.5f, 2.25, true, QStringLiteral("fixture \u00fc"), DzVec3(1, 2, 3),
            DzQuat(0, 0, 0.6, 0.8), QByteArray("\x00\x01\xff", 3)));
    ASSERT_EQ(root->m_parts.size(), 1);
    EXPECT_EQ(root->m_parts[0]->m_text, QStringLiteral("part"));
    EXPECT_EQ(root->m_parts[0]->m_partner, root);
}

// One object, three sections; the bytes the corruptions below aim at:
//   0 header (32) | 32 class id (16) | 48 index, section count
//   56 section 1 header: id @56, length @58 | 62 string: tag @62, length @63,
//   "abc" @67 70 section 2 header | 76 pointer: tag @76, index @77, object @79
//   83 section 3 header | 89 bool: tag @89, value @90 | end 91
TEST_F(ObjectFile, RefusesCorruptStructureNamingWhatAndWhere)
{
    Piece anchor;
    DzOutFile out;
    out.addObject(&anchor, kPieceId, [&anchor](DzOutFile *f) {
        f->writeStringSection(1, QStringLiteral("abc"));
        f->writePointerSection(2, &anchor);
        f->writeBoolSection(3, true);
    });
    const QByteArray good = out.getData();
    ASSERT_EQ(good.size(), 91);
    ASSERT_TRUE(DzInFile().setData(good));

    struct Case {
        const char *what;
        int at;
        QByteArray bytes;
        const char *message;
        qint64 offset;
    };
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    const Case cases[] = {
        { "object count", 16, le32(0x7FFFFFFF), "announces 2147483647 objects", 16 },
        { "object index", 48, le32(3), "object 3 is stored where object 0 belongs", 48 },
        { "section count", 52, le32(0xFFFFFFFF), "announces 4294967295 sections", 52 },
        { "section length", 58, le32(0xFFFFFFF0), "section 1 of object 0 announces 4294967280 bytes", 58 },
        { "string length", 63, le32(1000), "a string of 1004 bytes runs past the end of section 1", 62 },
        { "value tag", 76, QByteArray(1, char(42)), "unknown value type 42 in section 2", 76 },
        { "reference", 79, le32(1), "a reference to object 1 in section 2 of object 0", 76 },
        { "bool", 90, QByteArray(1, char(2)), "a bool holds 2 in section 3", 89 },
        { "null class", 32, QByteArray(16, 0), "object 0 has a null class identifier", 32 },
        { "magic", 0, "X", "the magic tag is missing", 0 },
        { "version", 8, le32(2), "unsupported object file version 2", 8 },
        { "trailing bytes", 91, "junk", "4 unexpected bytes follow the last object", 91 },
    };
    for (const Case &c : cases) {
        QByteArray bad = good;
        bad.replace(c.at, c.bytes.size(), c.bytes);
        fixChecksum(bad);
        DzInFile in;
        EXPECT_FALSE(in.setData(bad)) << c.what;
        EXPECT_TRUE(in.getErrorString().contains(QLatin1String(c.message)))
            << c.what << ": " << in.getErrorString().toStdString();
        EXPECT_EQ(in.getErrorOffset(), c.offset) << c.what;
        EXPECT_TRUE(in.getErrorString().contains(QStringLiteral("offset %1").arg(c.offset))) << c.what;
    }
}

TEST_F(ObjectFile, RefusesTruncatedFilesAtEveryCutAndChecksumMismatches)
{
    const auto original = makeTree();
    const QByteArray good = write(original.get());
    const int aliveBefore = Piece::s_alive;
    for (int cut = 0; cut < good.size(); ++cut) {
        DzInFile in;
        ASSERT_FALSE(in.setData(good.left(cut), QStringLiteral("cut.dzo"))) << "cut at " << cut;
        EXPECT_TRUE(in.getErrorString().startsWith(QStringLiteral("cut.dzo: ")));
        EXPECT_TRUE(in.getErrorString().contains(QStringLiteral("truncated")))
            << in.getErrorString().toStdString();
        EXPECT_EQ(in.createObjects(), 0);
    }
    EXPECT_EQ(Piece::s_alive, aliveBefore);
    QByteArray flipped = good;
    flipped[100] = char(flipped[100] ^ 0x40);
    DzInFile in;
    EXPECT_FALSE(in.setData(flipped));
    EXPECT_TRUE(in.getErrorString().contains(QStringLiteral("checksum")))
        << in.getErrorString().toStdString();
}

TEST_F(ObjectFile, MisusedWriterFailsTheWholeFileAndLeavesTheTargetAlone)
{
    const QString target = writeScratch("target.dzo", "previous contents");
    struct Case {
        const char *what;
        std::function<void(DzOutFile *)> writer;
        const char *message;
    };
    const Case cases[] = {
        { "value outside", [](DzOutFile *f) { f->writeInt(1); },
            "An int was written outside a section in Piece (object 0)" },
        { "nested",
            [](DzOutFile *f) {
                f->startSection(1);
                f->startSection(2);
            },
            "startSection(2) inside section 1" },
        { "stray end", [](DzOutFile *f) { f->endSection(); }, "endSection() without startSection()" },
    };
    for (const Case &c : cases) {
        Piece piece;
        DzOutFile out;
        out.addObject(&piece, kPieceId, c.writer);
        EXPECT_FALSE(out.save(target)) << c.what;
        EXPECT_TRUE(out.getErrorString().contains(QLatin1String(c.message)))
            << c.what << ": " << out.getErrorString().toStdString();
        EXPECT_EQ(readFile(target), QByteArray("previous contents")) << c.what;
    }
}

TEST_F(ObjectFile, UnknownClassesAreSkippedAndReferencesToThemDropped)
{
    // The root's partner is stored under a class no factory makes.
    const auto tree = makeTree();
    Piece ghost;
    tree->m_partner = &ghost;
    DzOutFile out;
    out.addObject(&ghost, DzGUID::fromLegacyClassID(0x5EE), [](DzOutFile *) {});
    out.addObject(tree.get());
    DzInFile in;
    ASSERT_TRUE(in.setData(out.getData()));
    EXPECT_EQ(in.createObjects(), 3);
    EXPECT_EQ(in.getObject(0), nullptr);
    in.loadObjects();
    auto *root = qobject_cast<Piece *>(in.getObject(1));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->m_parts.size(), 2);
    EXPECT_FALSE(root->m_events.contains(QStringLiteral("pointer 5/7")));
    const QString warnings = in.getWarnings().join(' ');
    EXPECT_TRUE(warnings.contains(QStringLiteral("no factory is registered"))) << warnings.toStdString();
    EXPECT_TRUE(warnings.contains(QStringLiteral("was dropped"))) << warnings.toStdString();

    // A reference to an object that is in no file and of no registered class
    // is written as null, with a warning.
    DzBase stranger; // of a class no factory makes
    Piece piece;
    DzOutFile lone;
    lone.addObject(&piece, kPieceId, [&stranger](DzOutFile *f) { f->writePointerSection(5, &stranger); });
    DzInFile back;
    ASSERT_TRUE(back.setData(lone.getData()));
    ASSERT_EQ(lone.getWarnings().size(), 1);
    EXPECT_TRUE(lone.getWarnings()[0].contains(QStringLiteral("was written as null")))
        << lone.getWarnings()[0].toStdString();
    back.createObjects();
    back.loadObjects();
    EXPECT_FALSE(qobject_cast<Piece *>(back.getObject(0))->m_events.contains(QStringLiteral("pointer 5/0")));
}

#include "test_objectfile.moc"

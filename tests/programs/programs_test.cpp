// trelvo-kba and trelvo-compose run as programs with raw argument bytes:
// named pipes are refused at once, names that are not UTF-8 are kept,
// output is bounded and valid JSON, exit statuses tell the truth, and
// outputs keep their mode and links.
#include "../support/fifoguard.h"

#include "blockfile.h"
#include "channelstore.h"
#include "nodetable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include <dirent.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// TRELVO_PROGRAM_DIR runs the tests against programs built elsewhere.
QByteArray programDir()
{
    const QByteArray dir = qgetenv("TRELVO_PROGRAM_DIR");
    return dir.isEmpty() ? QByteArray(TRELVO_BINARY_DIR "/bin") : dir;
}
const QByteArray kKba = programDir() + "/trelvo-kba";
const QByteArray kCompose = programDir() + "/trelvo-compose";
const QByteArray kStockWalk = TRELVO_CONTENT_DIR "/kinBlocks/Trelvo/s_walk_04.kba";

struct ProgramRun {
    int status = -1; // exit status; -1 when killed after the time limit
    QByteArray err; // standard output and error
    qint64 ms = 0;
};

// The names in a folder as bytes (Qt's listing skips names that are not
// valid in the locale's encoding).
QList<QByteArray> namesIn(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

// Runs program with exactly these argument bytes; kills it after `seconds`.
ProgramRun run(const QByteArray &program, const QList<QByteArray> &args, int seconds = 60)
{
    ProgramRun r;
    int errPipe[2];
    if (::pipe(errPipe) != 0)
        return r;
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(errPipe[0]);
        std::vector<char *> argv { const_cast<char *>(program.constData()) };
        for (const QByteArray &a : args)
            argv.push_back(const_cast<char *>(a.constData()));
        argv.push_back(nullptr);
        ::execv(program.constData(), argv.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    bool killed = false;
    for (;;) {
        pollfd p { errPipe[0], POLLIN, 0 };
        const int ready = ::poll(&p, 1, 100);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t n = ::read(errPipe[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            r.err.append(buffer, n);
        }
        if (!killed && clock.elapsed() > seconds * 1000) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    }
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.ms = clock.elapsed();
    r.status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class Programs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override
    {
        // QTemporaryDir cannot remove names it cannot decode.
        const QByteArray folder = QFile::encodeName(m_dir.path());
        for (const QByteArray &name : namesIn(folder))
            ::unlink((folder + '/' + name).constData());
    }

    QByteArray path(const QByteArray &name) const { return QFile::encodeName(m_dir.path()) + '/' + name; }

    void write(const QByteArray &name, const QByteArray &data) const
    {
        QFile f(QString::fromUtf8(path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    // A block of one translation record with keys at these times.
    QByteArray block(const QByteArray &name, std::initializer_list<int> times) const
    {
        registerStandardNodes();
        const int slot = allocateSlot();
        for (int t : times)
            addTranslationKey(slot, "hip", t, 0.0f, 100.0f, float(t) / 10.0f);
        std::string error;
        EXPECT_TRUE(writeBlockFile(slot, path(name).toStdString(), &error)) << error;
        replaceSlotRecords(slot, nullptr);
        return path(name);
    }

    QByteArray recipe(const QByteArray &name, const QByteArray &blockFields = QByteArray()) const
    {
        write(name, "{\"blocks\": [{\"file\": \"" + kStockWalk + "\"" + blockFields + "}]}");
        return path(name);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Programs, NamedPipesAreRefusedAtOnce)
{
    const QByteArray fifo = path("pipe.kba");
    const QByteArray out = path("out.kba");
    const QByteArray good = recipe("good.json");
    const QList<QPair<QByteArray, QList<QByteArray>>> runs = {
        { kKba, { "info", fifo } }, { kKba, { "join", fifo, fifo, out } },
        { kCompose, { fifo, "-o", path("out.json") } }, // the recipe
        { kCompose, { good, "--figure", fifo, "-o", path("out.json") } }, // the figure
    };
    for (const auto &[program, args] : runs) {
        FifoGuard guard(QString::fromUtf8(fifo));
        ASSERT_TRUE(guard.made());
        const ProgramRun r = run(program, args, 20);
        const std::string what = (program + " " + args.first()).toStdString();
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("not a regular file")) << what << "\n" << r.err.toStdString();
        EXPECT_LT(r.ms, 3000) << what;
    }
}

TEST_F(Programs, FileNamesThatAreNotUtf8AreKept)
{
    const QByteArray in = block("in\xff.kba", { 0, 500, 1000 });
    const QByteArray out = path("out\xfe.kba");
    ProgramRun r = run(kKba, { "info", in });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = run(kKba, { "crop", in, "0", "500", out });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    struct stat st;
    EXPECT_EQ(::stat(out.constData(), &st), 0) << "the output under its own name";
    EXPECT_EQ(namesIn(QFile::encodeName(m_dir.path())).size(), 2) << "and under no other";

    const QByteArray json = path("frames\xff.json");
    r = run(kCompose, { recipe("r.json"), "-o", json });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(::stat(json.constData(), &st), 0);
}

TEST_F(Programs, ExitStatusesTellTheTruth)
{
    const QByteArray out = path("out.kba");
    struct Case {
        const char *what;
        QByteArray program;
        QList<QByteArray> args;
        int status;
        const char *message;
    };
    write("nobones.json", R"({"format": "trelvo-figure", "version": 1,
        "figure": {"name": "Empty", "label": "", "rotationOrder": "XYZ", "origin": [0, 0, 0],
                   "endPoint": [0, 1, 0]}, "bones": []})");
    const Case cases[] = {
        { "crop of a block lasting 0 ms", kKba, { "crop", block("zero.kba", { 0 }), "0", "1", out }, 1, "0 ms" },
        { "crop past the block's end is a bad command line", kKba,
          { "crop", block("short.kba", { 0, 100 }), "0", "500", out }, 2, "FROM_MS" },
        { "figure without bones", kCompose,
          { recipe("r.json"), "--figure", path("nobones.json"), "-o", path("o.json") }, 1, "no bones" },
        // One hour at 4800 frames a second: 17 million frames, refused before baking.
        { "too many frames", kCompose,
          { recipe("hour.json", ", \"outPoint\": 3600000"), "--fps", "4800", "-o", path("o.json") }, 1, "1000000" },
        { "the usage documents the frame limit", kCompose, {}, 2, "1000000" },
    };
    for (const Case &c : cases) {
        const ProgramRun r = run(c.program, c.args);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << c.what << "\n" << r.err.toStdString();
        EXPECT_LT(r.ms, 20000) << c.what;
    }
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(path("o.json"))));
}

TEST_F(Programs, ComposeWritesValidJsonForAnyBoneName)
{
    QFile standard(QStringLiteral(TRELVO_CONTENT_DIR "/figures/standard.json"));
    ASSERT_TRUE(standard.open(QIODevice::ReadOnly));
    QJsonObject figure = QJsonDocument::fromJson(standard.readAll()).object();
    QJsonArray bones = figure.value("bones").toArray();
    const QStringList odd = { QStringLiteral("quote\"d"), QStringLiteral("back\\slash"),
                              QStringLiteral("nul") + QChar(0) + QStringLiteral("x"), QStringLiteral("tab\tctl\x01"),
                              QStringLiteral("line\nbreak\u2028") };
    // Finger tips (leaf bones) get the odd names, so no parent reference changes.
    const QStringList tips = { "rThumb3", "lThumb3", "rIndex3", "lIndex3", "rMid3" };
    for (int i = 0; i < bones.size(); ++i) {
        QJsonObject b = bones[i].toObject();
        const int tip = int(tips.indexOf(b.value("name").toString()));
        if (tip >= 0) {
            b.insert("name", odd[tip]);
            bones[i] = b;
        }
    }
    figure.insert("bones", bones);
    write("odd.json", QJsonDocument(figure).toJson());

    const QByteArray out = path("frames.json");
    const ProgramRun r = run(kCompose, { recipe("r.json"), "--figure", path("odd.json"), "-o", out });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile file(QString::fromUtf8(out));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains('\0'));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject first = doc.object().value("frames").toArray().first().toObject().value("bones").toObject();
    for (const QString &name : odd)
        EXPECT_TRUE(first.contains(name)) << name.toStdString();
}

TEST_F(Programs, OutputsKeepTheirModeAndLinks)
{
    const QByteArray bvh = path("take.bvh");
    write("take.bvh", "old");
    write("real.json", "old");
    ASSERT_EQ(::chmod(bvh.constData(), 0600), 0);
    ASSERT_EQ(::symlink("real.json", path("frames.json").constData()), 0);
    const ProgramRun r = run(kCompose, { recipe("r.json"), "-o", path("frames.json"), "--bvh", bvh });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    struct stat st;
    ASSERT_EQ(::stat(bvh.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "--bvh keeps the file's mode";
    ASSERT_EQ(::lstat(path("frames.json").constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link is still a link";
    ASSERT_EQ(::stat(path("real.json").constData(), &st), 0);
    EXPECT_GT(st.st_size, 100) << "the link's target got the frames";
}

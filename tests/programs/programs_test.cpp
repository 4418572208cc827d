// trelvo-kba and trelvo-compose run as programs with raw argument bytes:
// named pipes are refused at once, names that are not UTF-8 are kept,
// output is bounded and exit statuses tell the truth.
#include "../support/fifoguard.h"

#include "blockfile.h"
#include "channelstore.h"
#include "nodetable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
    int status = -1; // exit status; -1 when killed by a signal
    QByteArray err; // standard output and error
    qint64 ms = 0;
};

// Runs program with exactly these argument bytes; an alarm kills it after
// `seconds`.
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
        ::alarm(unsigned(seconds)); // survives exec
        ::execv(program.constData(), argv.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0)
        r.err.append(buffer, n);
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.ms = clock.elapsed();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class Programs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    // QTemporaryDir cannot remove names it cannot decode; std::filesystem
    // takes names as bytes.
    void TearDown() override { std::filesystem::remove_all(folder()); }

    std::string folder() const { return QFile::encodeName(m_dir.path()).toStdString(); }
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
    const QByteArray good = recipe("good.json");
    const QList<QPair<QByteArray, QList<QByteArray>>> runs = {
        { kKba, { "info", fifo } }, { kCompose, { fifo, "-o", path("out.json") } }, // the recipe
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
    ProgramRun r = run(kKba, { "crop", in, "0", "500", out });
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    struct stat st;
    EXPECT_EQ(::stat(out.constData(), &st), 0) << "the output under its own name";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder()), {}), 2) << "and under no other";

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
        { "crop of a block lasting 0 ms", kKba, { "crop", block("zero.kba", { 0 }), "0", "1", out }, 1,
            "0 ms" },
        { "figure without bones", kCompose,
            { recipe("r.json"), "--figure", path("nobones.json"), "-o", path("o.json") }, 1, "no bones" },
        // One hour at 4800 frames a second: 17 million frames, refused before baking.
        { "too many frames", kCompose,
            { recipe("hour.json", ", \"outPoint\": 3600000"), "--fps", "4800", "-o", path("o.json") }, 1,
            "1000000" },
        { "the usage documents the frame limit", kCompose, {}, 2, "1000000" },
        { "no command", kKba, {}, 2, "usage: trelvo-kba" },
    };
    for (const Case &c : cases) {
        const ProgramRun r = run(c.program, c.args);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << c.what << "\n" << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(path("o.json"))));
}

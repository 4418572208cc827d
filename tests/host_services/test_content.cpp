// The content manager's folder choice and path resolution.
#include "dzcontentmgr.h"
#include "servicestestsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

class Content : public ServicesTest {
protected:
    void SetUp() override
    {
        ServicesTest::SetUp();
        QDir(m_dir.path()).mkpath(QStringLiteral("content/kinBlocks/Trelvo"));
        QFile f(m_dir.filePath(QStringLiteral("content/kinBlocks/Trelvo/walk.kba")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        m_content = QDir::cleanPath(m_dir.filePath(QStringLiteral("content")));
    }
    QString m_content;
};

} // namespace

TEST_F(Content, EnvironmentVariableChoosesAnExistingFolderAndPathsResolveInIt)
{
    setEnv("TRELVO_CONTENT", m_content.toLocal8Bit());
    DzContentMgr mgr;
    EXPECT_EQ(mgr.getContentDirectory(), m_content);
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/./Trelvo/../Trelvo/walk.kba")),
        m_content + QStringLiteral("/kinBlocks/Trelvo/walk.kba"));
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/")),
        m_content + QStringLiteral("/kinBlocks/Trelvo"));
    for (const QString &missing : { QStringLiteral("kinBlocks/Trelvo/run.kba"), QStringLiteral("nothing/"),
             QString(), m_content + QStringLiteral("/nope") })
        EXPECT_TRUE(mgr.getAbsolutePath(missing).isEmpty()) << missing.toStdString();
    EXPECT_EQ(mgr.getAbsolutePath(m_content + QStringLiteral("/kinBlocks")),
        m_content + QStringLiteral("/kinBlocks"));

    // A folder that does not exist is ignored; from the build tree the
    // default is the source content with the stock figures in it.
    setEnv("TRELVO_CONTENT", m_dir.filePath(QStringLiteral("absent")).toLocal8Bit());
    const QString fallback = DzContentMgr::defaultContentDirectory();
    setEnv("TRELVO_CONTENT", QByteArray());
    EXPECT_EQ(DzContentMgr::defaultContentDirectory(), fallback);
    EXPECT_TRUE(QFile::exists(fallback + QStringLiteral("/figures/standard.json")));
}

TEST_F(Content, SetFolderOverridesAndRefusesMissingFolders)
{
    DzContentMgr mgr;
    QSignalSpy changed(&mgr, &DzContentMgr::contentDirectoryChanged);
    const QString before = mgr.getContentDirectory();
    EXPECT_FALSE(mgr.setContentDirectory(m_dir.filePath(QStringLiteral("absent"))));
    EXPECT_FALSE(mgr.setContentDirectory(QString()));
    EXPECT_EQ(mgr.getContentDirectory(), before);
    EXPECT_TRUE(mgr.setContentDirectory(m_content + QStringLiteral("/")));
    EXPECT_EQ(mgr.getContentDirectory(), m_content);
    EXPECT_FALSE(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/walk.kba")).isEmpty());
    mgr.resetContentDirectory();
    EXPECT_EQ(mgr.getContentDirectory(), before);
    EXPECT_EQ(changed.count(), 2);
}

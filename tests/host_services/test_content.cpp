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
        m_oldContent = qgetenv("TRELVO_CONTENT");
        m_hadContent = qEnvironmentVariableIsSet("TRELVO_CONTENT");
        QDir(m_dir.path()).mkpath(QStringLiteral("content/kinBlocks/Trelvo/dance"));
        QFile f(m_dir.filePath(QStringLiteral("content/kinBlocks/Trelvo/walk.kba")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        m_content = QDir::cleanPath(m_dir.filePath(QStringLiteral("content")));
    }
    void TearDown() override
    {
        if (m_hadContent)
            qputenv("TRELVO_CONTENT", m_oldContent);
        else
            qunsetenv("TRELVO_CONTENT");
        ServicesTest::TearDown();
    }
    QByteArray m_oldContent;
    bool m_hadContent = false;
    QString m_content;
};

} // namespace

TEST_F(Content, EnvironmentVariableChoosesTheFolder)
{
    qputenv("TRELVO_CONTENT", m_content.toLocal8Bit());
    DzContentMgr mgr;
    EXPECT_EQ(mgr.getContentDirectory(), m_content);
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/")),
        m_content + QStringLiteral("/kinBlocks/Trelvo"));
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/dance")),
        m_content + QStringLiteral("/kinBlocks/Trelvo/dance"));
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/./Trelvo/../Trelvo/walk.kba")),
        m_content + QStringLiteral("/kinBlocks/Trelvo/walk.kba"));
}

TEST_F(Content, MissingFilesAndFoldersResolveToNothing)
{
    qputenv("TRELVO_CONTENT", m_content.toLocal8Bit());
    DzContentMgr mgr;
    EXPECT_TRUE(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/run.kba")).isEmpty());
    EXPECT_TRUE(mgr.getAbsolutePath(QStringLiteral("nothing/")).isEmpty());
    EXPECT_TRUE(mgr.getAbsolutePath(QString()).isEmpty());
    // Absolute paths pass through when they exist.
    EXPECT_EQ(mgr.getAbsolutePath(m_content + QStringLiteral("/kinBlocks")),
        m_content + QStringLiteral("/kinBlocks"));
    EXPECT_TRUE(mgr.getAbsolutePath(m_content + QStringLiteral("/nope")).isEmpty());
}

TEST_F(Content, AnEnvironmentFolderThatDoesNotExistIsIgnored)
{
    qputenv("TRELVO_CONTENT", m_dir.filePath(QStringLiteral("absent")).toLocal8Bit());
    const QString fallback = DzContentMgr::defaultContentDirectory();
    EXPECT_NE(fallback, m_dir.filePath(QStringLiteral("absent")));
    qunsetenv("TRELVO_CONTENT");
    EXPECT_EQ(DzContentMgr::defaultContentDirectory(), fallback);
    // Running from the build tree, the default is the source content with
    // the stock figures in it.
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

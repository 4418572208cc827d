// The content manager's folder choice and path resolution.
#include "dzcontentmgr.h"
#include "servicestestsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

using Content = ServicesTest;

TEST_F(Content, FolderComesFromTheEnvironmentOrTheUserAndPathsResolveInIt)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("content/kinBlocks/Trelvo")));
    writeScratch(QStringLiteral("content/kinBlocks/Trelvo/walk.kba"), {});
    const QString content = QDir::cleanPath(m_dir.filePath(QStringLiteral("content")));
    setEnv("TRELVO_CONTENT", content.toLocal8Bit());
    DzContentMgr mgr;
    EXPECT_EQ(mgr.getContentDirectory(), content);
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/./Trelvo/../Trelvo/walk.kba")),
        content + QStringLiteral("/kinBlocks/Trelvo/walk.kba"));
    EXPECT_EQ(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/")),
        content + QStringLiteral("/kinBlocks/Trelvo"));
    for (const QString &missing : { QStringLiteral("kinBlocks/Trelvo/run.kba"), QStringLiteral("nothing/"),
             QString(), content + QStringLiteral("/nope") })
        EXPECT_TRUE(mgr.getAbsolutePath(missing).isEmpty()) << missing.toStdString();
    EXPECT_EQ(
        mgr.getAbsolutePath(content + QStringLiteral("/kinBlocks")), content + QStringLiteral("/kinBlocks"));

    // A folder that does not exist is ignored; from the build tree the
    // default is the source content with the stock figures in it.
    setEnv("TRELVO_CONTENT", m_dir.filePath(QStringLiteral("absent")).toLocal8Bit());
    const QString fallback = DzContentMgr::defaultContentDirectory();
    setEnv("TRELVO_CONTENT", QByteArray());
    EXPECT_EQ(mgr.getContentDirectory(), fallback);
    EXPECT_TRUE(QFile::exists(fallback + QStringLiteral("/figures/standard.json")));

    // The user's choice overrides it; a missing folder is refused.
    QSignalSpy changed(&mgr, &DzContentMgr::contentDirectoryChanged);
    EXPECT_FALSE(mgr.setContentDirectory(m_dir.filePath(QStringLiteral("absent"))));
    EXPECT_FALSE(mgr.setContentDirectory(QString()));
    EXPECT_EQ(mgr.getContentDirectory(), fallback);
    EXPECT_TRUE(mgr.setContentDirectory(content + QStringLiteral("/")));
    EXPECT_EQ(mgr.getContentDirectory(), content);
    EXPECT_FALSE(mgr.getAbsolutePath(QStringLiteral("kinBlocks/Trelvo/walk.kba")).isEmpty());
    mgr.resetContentDirectory();
    EXPECT_EQ(mgr.getContentDirectory(), fallback);
    EXPECT_EQ(changed.count(), 2);
}

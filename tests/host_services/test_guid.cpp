// Class identifiers, class factories, plug-in definitions and the host's
// class registry.
#include "dzbase.h"
#include "dzclassfactory.h"
#include "dzguid.h"
#include "servicestestsupport.h"

#include <QSet>

namespace {

class Widgetless : public QObject {
    Q_OBJECT
public:
    Widgetless() = default;
};

const DzGUID kSomeId = DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0"));

} // namespace

TEST(Guid, ParsesTextIgnoringCaseAndBracesAndRoundTripsBytes)
{
    bool ok = false;
    const DzGUID g = DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0"), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(g.getData1(), 0x30E6B1A0u);
    EXPECT_EQ(g.getData3(), 0x4E93u);
    EXPECT_EQ(g.getData4()[7], 0xE0);
    EXPECT_EQ(DzGUID::fromString(QStringLiteral("{30e6b1a0-2dd1-4E93-8c82-48dbdefc4de0}")), g);
    EXPECT_NE(DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE1")), g);
    const auto bytes = g.toBytes();
    EXPECT_EQ(bytes[0], 0xA0); // data1 little-endian
    EXPECT_EQ(DzGUID::fromBytes(bytes.data()), g);
    EXPECT_EQ(
        QSet<DzGUID>({ g, DzGUID::fromString(g.toString().toLower()), DzGUID::fromLegacyClassID(7) }).size(),
        2);
    // Legacy class ids share the namespace.
    const DzGUID legacy = DzGUID::fromLegacyClassID(0x13370014);
    EXPECT_TRUE(legacy.isLegacyClassID() && !g.isLegacyClassID());
    EXPECT_EQ(legacy.getLegacyClassID(), 0x13370014u);
    EXPECT_TRUE(DzGUID::fromLegacyClassID(0).isNull());

    const char *bad[] = {
        "",
        "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE", // one digit short
        "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE00", // one digit long
        "30E6B1A02-DD1-4e93-8C82-48DBDEFC4DE0", // dash misplaced
        "30E6B1G0-2DD1-4e93-8C82-48DBDEFC4DE0", // not hex
        "(30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0)", // wrong brackets
        "{30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0)", // mismatched brackets
    };
    for (const char *text : bad) {
        ok = true;
        EXPECT_TRUE(DzGUID::fromString(QString::fromLatin1(text), &ok).isNull()) << text;
        EXPECT_FALSE(ok) << text;
    }
}

using ClassRegistry = ServicesTest;

TEST_F(ClassRegistry, FindsAndCreatesByIdentifierAndNameAndRefusesClashes)
{
    Factory<Widgetless> f(kSomeId);
    ASSERT_TRUE(m_app->registerClassFactory(&f));
    EXPECT_EQ(m_app->findClassFactory(kSomeId), &f);
    EXPECT_EQ(m_app->findClassFactory(QStringLiteral("Widgetless")), &f);
    EXPECT_EQ(m_app->findClassFactory(QStringLiteral("Other")), nullptr);

    std::unique_ptr<QObject> byId(m_app->createInstance(kSomeId));
    ASSERT_TRUE(byId);
    EXPECT_EQ(byId->objectName(), QStringLiteral("Widgetless"));

    // Clashing factories are refused.
    Factory<Widgetless> sameId(kSomeId), sameName(DzGUID::fromLegacyClassID(9));
    Factory<DzBase> nullId { DzGUID() }; // of a class not registered yet
    for (DzClassFactory *clash : std::initializer_list<DzClassFactory *> { &f, &sameId, &sameName, &nullId })
        EXPECT_FALSE(m_app->registerClassFactory(clash));
    EXPECT_EQ(m_app->getNumClassFactories(), 1);
    EXPECT_TRUE(dzLogContains(QStringLiteral("already registered")));

    EXPECT_TRUE(m_app->unregisterClassFactory(&f));
    EXPECT_EQ(m_app->findClassFactory(kSomeId), nullptr);
}

#include "test_guid.moc"

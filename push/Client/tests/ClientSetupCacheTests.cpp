// What the client's set-up does to the two shared file caches: both are started, and the
// enciphered document cache stops following the application's state while the plain one
// keeps following it.
#include "ClientTestSupport.h"

#include "push/Storage/PUSHFileCacheController.h"

using namespace client_tests;

TEST_F(ClientTest, SetUpTurnsAutomaticSynchronizingOffOnTheDocumentCacheOnly)
{
    startClient(false);
    auto document = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeDocument);
    auto plain = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
    ASSERT_TRUE(document && plain);
    EXPECT_FALSE(document->isAutoSynchronizeEnabled());
    EXPECT_TRUE(plain->isAutoSynchronizeEnabled());
}

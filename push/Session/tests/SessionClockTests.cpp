// The stored login times are checked as soon as a session is made: times more than a year
// apart are wiped before any login, times within a year are kept as they are.
#include "SessionTestSupport.h"

#include "platform/persistence/NSUserDefaults.h"

using namespace session_tests;

TEST_F(SessionTest, StoredLoginTimesMoreThanAYearApartAreWipedBeforeTheFirstLogin)
{
    auto stored = NSUserDefaults::standardUserDefaults();
    const auto storedAfterCreation = [&](double local, std::uint32_t server) {
        stored->setObject(Value(local), kPUSHLocalTimeKey);
        stored->setObject(Value(server), kPUSHServerTimeKey);
        makeSession();
        return std::pair(stored->objectForKey(kPUSHLocalTimeKey).doubleValue(), stored->objectForKey(kPUSHServerTimeKey).unsignedValue());
    };
    EXPECT_EQ(storedAfterCreation(1700000000.5, 1700000000 + 31536001), std::pair(0.0, std::uint64_t(0)));
    EXPECT_FALSE(session->isLogin());
    EXPECT_EQ(storedAfterCreation(1700000000.5, 1700000000 + 31536000), std::pair(1700000000.5, std::uint64_t(1731536000)));
}

// See CryptoLifetime.h.
#include "platform/security/CryptoLifetime.h"

#include <openssl/crypto.h>

namespace security {

void keepCryptoThroughExit()
{
    static const bool kept = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
    (void)kept;
}

namespace {
// Linked in with any user of OpenSSL here, so it runs among the static initialisers, before a
// test server or libcurl can start OpenSSL with its exit handler.
const bool kAtStart = (keepCryptoThroughExit(), true);
} // namespace

} // namespace security

// OpenSSL frees its global state from an exit handler unless told otherwise; threads that
// outlive main() (the image cache hashing a file name, a transfer finishing its handshake) would
// then crash inside it. The platform tells it, before main() runs, to keep that state until the
// process is gone.
#pragma once

namespace security {

// Idempotent; every entry point into OpenSSL calls it, so it runs before OpenSSL first starts.
void keepCryptoThroughExit();

} // namespace security

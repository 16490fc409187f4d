// MD5 over OpenSSL's EVP interface (see CommonDigest.h).
#include "platform/security/CommonDigest.h"

#include <openssl/evp.h>

#include "platform/security/CryptoLifetime.h"

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md)
{
    static const unsigned char empty = 0;
    security::keepCryptoThroughExit();
    unsigned int size = 0;
    EVP_Digest(data ? data : &empty, len, md, &size, EVP_md5(), nullptr);
    return md;
}

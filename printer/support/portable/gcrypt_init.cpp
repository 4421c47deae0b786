#include "support/portable/gcrypt_init.h"

#include <gcrypt.h>

#include "support/portable/app_error.h"
#include "support/portable/codepage.h"

namespace orvo {

void ensureGcryptInitialised() {
    // A function-local static is initialised exactly once even when threads
    // race here; if the version check throws, the next call tries again.
    static const bool ready = [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
            if (!gcry_check_version(GCRYPT_VERSION)) throw AppError(unicodeToGbk(U"libgcrypt 版本过旧，需要 " GCRYPT_VERSION));
            // Only public-key arithmetic on request data and digests: no
            // secure memory pool is needed, and none is set up.
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return true;
    }();
    (void)ready;
}

}  // namespace orvo

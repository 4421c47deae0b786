#pragma once
// libgcrypt must be initialised once per process before its first use. Every
// user of libgcrypt in the program calls this first; it is cheap after the
// first call and safe from any thread.
namespace orvo {

void ensureGcryptInitialised();

}  // namespace orvo

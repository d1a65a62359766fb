#include "platform/Memory.h"

// The Windows heap keeps freed blocks of the process for reuse already.
void KeepFreedMemoryForReuse() {}

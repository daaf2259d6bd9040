// thread_local_module: a library with thread-local data of its own, loaded at
// run time as the database engine is (dlopen), so each thread's block of it
// is allocated from the heap at the thread's first use. Forty bytes, as the
// engine's own.
#include <cstddef>
#include <cstdlib>

namespace {
thread_local void* slots[5];
}

// Keeps a fresh heap block of Bytes in this thread's data (its only
// reference) and returns where this thread's block of the module's data lies.
extern "C" __attribute__((visibility("default"))) void* HoldInThreadLocal(std::size_t Bytes) {
  slots[0] = std::malloc(Bytes);
  return &slots[0];
}

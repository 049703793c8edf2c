// Built into every test program: the tests reach allocation-failure paths on purpose, and a
// sanitized allocator must answer those with null as a plain one does instead of aborting.
// The sanitizer runtime looks these up in the program, so they must stay visible.
#define OSTREL_VISIBLE extern "C" __attribute__((visibility("default"), used))
OSTREL_VISIBLE const char* __asan_default_options() { return "allocator_may_return_null=1"; }
OSTREL_VISIBLE const char* __tsan_default_options() { return "allocator_may_return_null=1"; }

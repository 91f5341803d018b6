#pragma once
// Frees with std::free what C code allocated with malloc or calloc, for std::unique_ptr.
#include <cstdlib>

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Allocation on malloc, raising CNewException when it fails.
#include "archive/allocation.h"

#include <cstdlib>

void* MyAlloc(std::size_t size)
{
    if (size == 0)
        return nullptr;
    void* block = std::malloc(size);
    if (!block)
        throw CNewException();
    return block;
}

void MyFree(void* block)
{
    std::free(block);
}

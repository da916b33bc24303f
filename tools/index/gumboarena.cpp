#include "gumboarena.h"

#include <gumbo.h>

#include <cstdlib>

namespace Tamberlyn::IndexTool {

GumboArena::~GumboArena()
{
    for (Block *block = m_head.next; block != &m_head;) {
        Block *const next = block->next;
        std::free(block);
        block = next;
    }
}

void GumboArena::install(GumboOptions &options)
{
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::deallocate;
    options.userdata = this;
}

void *GumboArena::allocate(void *arena, std::size_t size)
{
    // malloc's own contract: gumbo checks for nothing else.
    auto *block = static_cast<Block *>(std::malloc(sizeof(Block) + size));
    if (!block)
        return nullptr;
    Block &head = static_cast<GumboArena *>(arena)->m_head;
    block->previous = &head;
    block->next = head.next;
    head.next->previous = block;
    head.next = block;
    return block + 1;
}

void GumboArena::deallocate(void *, void *pointer)
{
    if (!pointer)
        return;
    Block *const block = static_cast<Block *>(pointer) - 1;
    block->previous->next = block->next;
    block->next->previous = block->previous;
    std::free(block);
}

} // namespace Tamberlyn::IndexTool

#pragma once

#include <QtGlobal>

#include <cstddef>

struct GumboInternalOptions;

namespace Tamberlyn::IndexTool {

// The memory of one gumbo parse, owned here rather than by gumbo.
//
// gumbo frees a parse tree by recursing once per level of nesting, so a
// page nesting a million elements overflows the stack when its tree is
// destroyed. Every block gumbo asks for is linked into a list here, blocks
// gumbo frees while parsing leave it at once, and whatever is left when the
// arena goes is freed by walking the list: no recursion, however deep the
// tree. The tree must therefore never be given to gumbo_destroy_output.
class GumboArena final
{
    Q_DISABLE_COPY_MOVE(GumboArena)

public:
    GumboArena() = default;
    ~GumboArena();

    // Makes `options` allocate from this arena.
    void install(GumboInternalOptions &options);

private:
    struct alignas(std::max_align_t) Block
    {
        Block *previous;
        Block *next;
    };

    static void *allocate(void *arena, std::size_t size);
    static void deallocate(void *arena, void *pointer);

    Block m_head{&m_head, &m_head};
};

} // namespace Tamberlyn::IndexTool

#include "sharedblocks.h"

#include "platform/dialogs.h"
#include "platform/sharedmemory.h"
#include "simbridgelog.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace Tamberlyn::SimBridge {

namespace {

struct BlockLayout
{
    const char *name;
    // Bytes we create the block with and map of it. The end flag is
    // written as four bytes, so its block is four bytes long, not the
    // single byte an older viewer got away with through a page-sized view.
    qsizetype size;
};

constexpr std::array<BlockLayout, 3> Layouts = {{
    {"OrvanePrev", SharedBlocks::RequestCodeSize},
    {"OrvaneEnd", SharedBlocks::EndFlagSize},
    {"OrvaneName", SharedBlocks::PathSize},
}};

constexpr std::size_t indexOf(SharedBlocks::Block block)
{
    return static_cast<std::size_t>(block);
}

} // namespace

SharedBlocks::SharedBlocks(Platform::SharedMemory &memory, Platform::Dialogs &dialogs,
                           QWidget *dialogOwner)
    : m_memory(memory), m_dialogs(dialogs), m_dialogOwner(dialogOwner)
{
}

SharedBlocks::~SharedBlocks()
{
    release();
}

QByteArray SharedBlocks::blockName(Block block)
{
    return QByteArray(Layouts.at(indexOf(block)).name);
}

void SharedBlocks::openSharedBlocks()
{
    release();
    for (std::size_t i = 0; i < Layouts.size(); ++i) {
        const QByteArray name(Layouts.at(i).name);
        const qsizetype size = Layouts.at(i).size;

        std::unique_ptr<Platform::SharedBlock> block = m_memory.openExisting(name);
        if (!block) {
            block = m_memory.create(name, size);
            if (!block) {
                qCWarning(lcSimBridge) << "cannot open or create" << name << m_memory.errorString();
                tell(QStringLiteral("Can't create file map"));
            }
        }
        // Without a block there is nothing to map either, and the learner is
        // told so as well: both boxes for a block that could not be created.
        if (!block || !block->map(size)) {
            if (block)
                qCWarning(lcSimBridge) << "cannot map" << name << block->errorString();
            tell(QStringLiteral("Can't create map view"));
        }
        m_blocks.at(i) = std::move(block);
    }
}

void SharedBlocks::release()
{
    for (auto &block : m_blocks) {
        if (!block)
            continue;
        block->unmap();
        block->close();
        block.reset();
    }
}

void SharedBlocks::writeEndFlag(qint32 value)
{
    const qint32 little = qToLittleEndian(value);
    char bytes[EndFlagSize];
    std::memcpy(bytes, &little, sizeof bytes);
    writeBlock(Block::End, QByteArrayView(bytes, EndFlagSize));
}

void SharedBlocks::ShutOffVK()
{
    writeEndFlag(1);
}

void SharedBlocks::ShutOffWithfile()
{
    writeBlock(Block::Name, QByteArray(PathSize, '\0'));
}

void SharedBlocks::writeCircuitPath(QByteArrayView path)
{
    QByteArray image(PathSize, '\0');
    const qsizetype used = std::min(path.size(), PathSize);
    if (used > 0)
        std::memcpy(image.data(), path.data(), static_cast<std::size_t>(used));
    writeBlock(Block::Name, image);
}

void SharedBlocks::writeRequestCode(quint8 code)
{
    const char byte = static_cast<char>(code);
    writeBlock(Block::Prev, QByteArrayView(&byte, RequestCodeSize));
}

QByteArray SharedBlocks::readName() const
{
    const Platform::SharedBlock *block = view(Block::Name);
    if (!block)
        return {};
    QByteArray bytes = block->read(0, PathSize);
    if (bytes.size() != PathSize) {
        qCWarning(lcSimBridge) << "cannot read OrvaneName" << block->errorString();
        return {};
    }
    return bytes;
}

bool SharedBlocks::simulationOpen() const
{
    const QByteArray name = readName();
    return !name.isEmpty() && name.at(0) != '\0';
}

quint8 SharedBlocks::readRequestCode() const
{
    const Platform::SharedBlock *block = view(Block::Prev);
    if (!block)
        return 0;
    const QByteArray bytes = block->read(0, RequestCodeSize);
    if (bytes.size() != RequestCodeSize) {
        qCWarning(lcSimBridge) << "cannot read OrvanePrev" << block->errorString();
        return 0;
    }
    return static_cast<quint8>(bytes.at(0));
}

qint32 SharedBlocks::readEndFlag() const
{
    const Platform::SharedBlock *block = view(Block::End);
    if (!block)
        return 0;
    const QByteArray bytes = block->read(0, EndFlagSize);
    if (bytes.size() != EndFlagSize) {
        qCWarning(lcSimBridge) << "cannot read OrvaneEnd" << block->errorString();
        return 0;
    }
    return qFromLittleEndian<qint32>(bytes.constData());
}

bool SharedBlocks::hasView(Block block) const
{
    return view(block) != nullptr;
}

Platform::SharedBlock *SharedBlocks::view(Block block) const
{
    Platform::SharedBlock *shared = m_blocks.at(indexOf(block)).get();
    return shared && shared->isMapped() ? shared : nullptr;
}

void SharedBlocks::writeBlock(Block block, QByteArrayView bytes)
{
    Platform::SharedBlock *shared = view(block);
    if (!shared)
        return;
    if (!shared->write(0, bytes) || !shared->flush(0, bytes.size()))
        qCWarning(lcSimBridge) << "cannot write" << blockName(block) << shared->errorString();
}

void SharedBlocks::tell(const QString &text)
{
    Platform::Dialogs::Box box;
    box.text = text;
    box.title = QStringLiteral("Tamberlyn");
    box.buttons = Platform::Dialogs::Buttons::Ok;
    m_dialogs.ask(m_dialogOwner, box);
}

} // namespace Tamberlyn::SimBridge

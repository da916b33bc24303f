#include "blockwatcher.h"

#include "circuitpath.h"
#include "simbridge/sharedblocks.h"

namespace Tamberlyn::Simulator {

using Block = SimBridge::SharedBlocks::Block;

BlockWatcher::BlockWatcher(const SimBridge::SharedBlocks &blocks, QObject *parent)
    : QObject(parent), m_blocks(blocks)
{
    connect(&m_timer, &QTimer::timeout, this, &BlockWatcher::poll);
}

void BlockWatcher::start(int intervalMs)
{
    m_timer.setInterval(intervalMs);
    poll();
    m_timer.start();
}

void BlockWatcher::stop()
{
    m_timer.stop();
}

void BlockWatcher::poll()
{
    if (m_blocks.hasView(Block::Name)) {
        const QByteArray path = meaningfulBytes(m_blocks.readName());
        if (path != m_path) {
            m_path = path;
            emit pathChanged(decodePath(path));
        }
    }
    if (m_blocks.hasView(Block::Prev)) {
        const quint8 code = m_blocks.readRequestCode();
        if (code != m_request) {
            m_request = code;
            emit requestChanged(code);
        }
    }
    if (m_blocks.hasView(Block::End)) {
        const qint32 flag = m_blocks.readEndFlag();
        if (flag != m_endFlag) {
            m_endFlag = flag;
            emit endFlagChanged(flag);
        }
    }
}

} // namespace Tamberlyn::Simulator

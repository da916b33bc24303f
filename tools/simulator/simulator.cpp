#include "simulator.h"

#include "circuitpath.h"
#include "simulatorlog.h"

#include <QCoreApplication>

namespace Tamberlyn::Simulator {

using Block = SimBridge::SharedBlocks::Block;

Simulator::Simulator(const Options &options, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_memory(options.shmPrefix),
      m_blocks(m_memory, m_dialogs),
      m_watcher(m_blocks)
{
    connect(&m_watcher, &BlockWatcher::pathChanged, this, &Simulator::showPath);
    connect(&m_watcher, &BlockWatcher::requestChanged, this, &Simulator::showRequest);
    connect(&m_watcher, &BlockWatcher::endFlagChanged, this, &Simulator::followEndFlag);
    connect(&m_window, &SimulatorWindow::closeRequested, this, &Simulator::closeSimulation);
}

void Simulator::start()
{
    m_printer.print(QStringLiteral("simulator: ") + roleName(m_options.role));
    m_blocks.openSharedBlocks();
    reportMissingBlocks();
    // The first poll comes before the title, so Prismo's first title
    // already names the file the viewer asked for.
    m_watcher.start(PollIntervalMs);
    showTitle();
    m_window.show();
    m_printer.print(QStringLiteral("ready"));
}

void Simulator::reportMissingBlocks()
{
    // Like the viewer, the stand-in goes on without a block it cannot
    // open: the other blocks still work, and a test can see which failed.
    for (const Block block : {Block::Prev, Block::End, Block::Name}) {
        if (m_blocks.hasView(block))
            continue;
        const QString name = QString::fromLatin1(SimBridge::SharedBlocks::blockName(block));
        qCWarning(lcSimulator) << "going on without" << name;
        m_printer.print(QStringLiteral("block unavailable: ") + name);
        if (block == Block::Name)
            m_window.setPathText(QStringLiteral("(OrvaneName unavailable)"));
        else if (block == Block::Prev)
            m_window.setRequestText(QStringLiteral("(OrvanePrev unavailable)"));
    }
}

void Simulator::showPath(const QString &path)
{
    m_path = path;
    const QString shown = printable(path);
    m_window.setPathText(path.isEmpty() ? QStringLiteral("(no simulation open)") : shown);
    m_printer.print(path.isEmpty() ? QStringLiteral("no path") : QStringLiteral("path: ") + shown);
    // Orvanix keeps its plain title; Prismo names the file it has open.
    if (m_options.role == Role::Prismo)
        showTitle();
}

void Simulator::showRequest(quint8 code)
{
    m_window.setRequestText(QString::number(code));
    m_printer.print(QStringLiteral("request: ") + QString::number(code));
}

void Simulator::followEndFlag(qint32 value)
{
    // Only 1 means anything to a simulator: the learner quit the course,
    // so there is no viewer left to come back to. The flag is read as a
    // level, not an edge: a stand-in started after the quit leaves at once.
    if (value != 1) {
        m_printer.print(QStringLiteral("end flag: ") + QString::number(value));
        return;
    }
    if (m_leaving)
        return;
    m_printer.print(QStringLiteral("end flag: quitting"));
    leave();
}

void Simulator::closeSimulation()
{
    if (m_leaving)
        return;
    // Clearing the path is what tells the viewer the simulation is over:
    // its companion window goes away when it sees the block empty.
    m_blocks.ShutOffWithfile();
    m_printer.print(m_blocks.hasView(Block::Name) ? QStringLiteral("closed: OrvaneName cleared")
                                                  : QStringLiteral("closed: OrvaneName unavailable"));
    leave();
}

void Simulator::showTitle()
{
    const QString title = m_options.role == Role::Orvanix
        ? QStringLiteral("Orvanix")
        : QStringLiteral("Prismo - ") + printable(fileNameOf(m_path));
    if (title == m_title)
        return;
    m_title = title;
    m_window.setLiteralTitle(title);
    m_printer.print(QStringLiteral("title: ") + title);
}

void Simulator::leave()
{
    m_leaving = true;
    m_watcher.stop();
    // Queued, so it also works when the first poll, before the event loop
    // runs, already finds the end flag set.
    QMetaObject::invokeMethod(
        this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

} // namespace Tamberlyn::Simulator

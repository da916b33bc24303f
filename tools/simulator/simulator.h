#pragma once

#include "blockwatcher.h"
#include "eventprinter.h"
#include "options.h"
#include "quietdialogs.h"
#include "simulatorwindow.h"

#include "platform/posix/posixsharedmemory.h"
#include "simbridge/sharedblocks.h"

#include <QObject>

namespace Tamberlyn::Simulator {

// Plays Orvanix or Prismo towards the viewer: shows what the viewer wrote
// to the blocks, clears the path when the learner closes the simulation,
// and goes away when the learner quits the course.
class Simulator final : public QObject
{
    Q_OBJECT

public:
    // How often the blocks are polled.
    static constexpr int PollIntervalMs = 300;

    explicit Simulator(const Options &options, QObject *parent = nullptr);

    // Opens the blocks, shows the window and starts polling.
    void start();

private:
    void reportMissingBlocks();
    void showPath(const QString &path);
    void showRequest(quint8 code);
    void followEndFlag(qint32 value);
    void closeSimulation();
    void showTitle();
    void leave();

    Options m_options;
    EventPrinter m_printer;
    Platform::PosixSharedMemory m_memory;
    QuietDialogs m_dialogs;
    SimBridge::SharedBlocks m_blocks;
    BlockWatcher m_watcher;
    SimulatorWindow m_window;
    QString m_path;
    QString m_title;
    bool m_leaving = false;
};

} // namespace Tamberlyn::Simulator

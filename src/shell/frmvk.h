#pragma once

#include "vkstate.h"

#include <QWidget>

#include <functional>

class QTimer;

namespace Tamberlyn::Platform {
class CertificatePins;
class Shell;
class WebEnginePane;
}
namespace Tamberlyn::SimBridge {
class SimulatorChannel;
}

namespace Tamberlyn::Shell {

// The main window: the course pages in Web1 under the button bar.
class FrmVK final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmVK)

public:
    FrmVK(const Platform::CertificatePins &pins, Platform::Shell &shell,
          SimBridge::SimulatorChannel &channel, QWidget *parent = nullptr);
    ~FrmVK() override;

    VKState &state() { return m_state; }
    const VKState &state() const { return m_state; }

    // Web1 is made on first use: a hand-over or launcher instance never
    // needs the browser engine and should not pay for starting it.
    Platform::WebEnginePane &web1();
    QTimer &timerEnd() { return *m_timerEnd; }

    // The one orderly end of every run; does not return.
    [[noreturn]] void EndVK();
    // Set by the pop-up mode once its window exists.
    void setPopupUnloader(std::function<void()> unload) { m_unloadPopup = std::move(unload); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showOnFirstPage();
    void fitWeb1();

    const Platform::CertificatePins &m_pins;
    Platform::Shell &m_shell;
    SimBridge::SimulatorChannel &m_channel;
    VKState m_state;
    Platform::WebEnginePane *m_web1 = nullptr;
    QTimer *m_timerEnd;
    std::function<void()> m_unloadPopup;
};

} // namespace Tamberlyn::Shell

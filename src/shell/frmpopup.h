#pragma once

#include "popupcommand.h"

#include <QWidget>

#include <functional>

class QTimer;

namespace Tamberlyn::Platform {
class BrowserPane;
class WindowSystem;
}

namespace Tamberlyn::Shell {

// The picture pop-up: one course file in Web2, at the pointer, until a key
// is pressed in it or the left button is pressed anywhere on the screen.
class FrmPopup final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmPopup)

public:
    using PaneFactory = std::function<Platform::BrowserPane *(QWidget *parent)>;

    FrmPopup(PaneFactory paneFactory, Platform::WindowSystem &windows, std::function<void()> endVK);
    ~FrmPopup() override;

    // Pop-up mode from its command's parts; FileLocn is the course base.
    void showPopup(const QString &fileLocn, const PopupCommand &command);
    QTimer &timerPop() { return *m_timerPop; }
    Platform::BrowserPane &web2() { return *m_web2; }

    void TimerPop_Timer();

protected:
    void changeEvent(QEvent *event) override;
    // Sees every key meant for the pop-up before Web2 does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Activate();
    void Form_KeyDown();

    Platform::WindowSystem &m_windows;
    std::function<void()> m_endVK;
    Platform::BrowserPane *m_web2;
    QTimer *m_timerPop;
    QString m_address;
};

} // namespace Tamberlyn::Shell

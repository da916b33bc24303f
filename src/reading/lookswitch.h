#pragma once

#include "framelook.h"
#include "looks.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Reading {

class PageLook;

// The look the learner reads in: the windows of the whole program and the
// pages of every pane attached, changed together by the key (Ctrl+Shift+L
// cycles the looks) or a choice under Help, and kept for the next start.
class LookSwitch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookSwitch)

public:
    // Shows `start` at once, saying why in the log (and what was wrong with
    // the setting, if anything). `store` keeps a choice of the learner's and
    // says whether it could.
    LookSwitch(const StartingLook &start, std::function<bool(Look)> store, QObject *parent = nullptr);
    ~LookSwitch() override;

    Look look() const { return m_look; }

    // The pages of `pane` take the look from now on; its page script and
    // backdrop live as long as the pane.
    PageLook &attach(Platform::BrowserPane &pane);

    void choose(Look look);
    void cycle();

signals:
    void changed(Tamberlyn::Reading::Look look);

private:
    Look m_look;
    std::function<bool(Look)> m_store;
    FrameLook m_frame;
    QList<QPointer<PageLook>> m_pages;
};

} // namespace Tamberlyn::Reading

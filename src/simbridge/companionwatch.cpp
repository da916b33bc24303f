#include "companionwatch.h"

#include "sharedblocks.h"
#include "withfile.h"

#include "platform/dialogs.h"
#include "platform/windowsystem.h"

namespace Tamberlyn::SimBridge {

CompanionWatch::CompanionWatch(Services services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
}

CompanionWatch::~CompanionWatch()
{
    delete m_withfile.data();
}

Withfile *CompanionWatch::companion() const
{
    return m_withfile;
}

void CompanionWatch::TimerEnd_Timer()
{
    if (m_services.blocks.simulationOpen())
        load();
    else
        unload();
}

void CompanionWatch::load()
{
    // Already shown: left where it is, not raised again.
    if (m_withfile)
        return;
    m_withfile = new Withfile;
    connect(m_withfile, &Withfile::returnRequested, this, &CompanionWatch::returnToText);
    connect(m_withfile, &Withfile::quitRequested, this, &CompanionWatch::askQuit);
    m_withfile->placeAndShow(m_services.windows.screenSize().width());
}

void CompanionWatch::unload()
{
    if (m_withfile) {
        m_withfile->hide();
        // Unloaded from inside its own mouse handler, so deleted afterwards.
        m_withfile->deleteLater();
        m_withfile = nullptr;
    }
}

void CompanionWatch::returnToText()
{
    m_services.windows.bringToFront(QStringLiteral("Tamberlyn"));
    if (m_withfile)
        m_withfile->picRud29()->hide();
    unload();
    m_services.blocks.ShutOffWithfile();
}

void CompanionWatch::askQuit()
{
    const Platform::Dialogs::Answer answer = m_services.dialogs.ask(
        m_withfile, {QStringLiteral("Are you sure you want to quit?"), QStringLiteral("Tamberlyn"),
                     Platform::Dialogs::Icon::Question, Platform::Dialogs::Buttons::YesNo, QPoint(-150, 80)});
    if (answer == Platform::Dialogs::Answer::Yes) {
        m_services.blocks.ShutOffVK();
        m_services.endVK();
        return;
    }
    if (m_withfile)
        m_withfile->picRud29()->hide();
}

} // namespace Tamberlyn::SimBridge

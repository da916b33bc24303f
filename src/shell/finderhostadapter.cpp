#include "finderhostadapter.h"

#include "frmvk.h"
#include "helpimage.h"
#include "quitquestion.h"

#include "platform/browserpane.h"

#include <QCoreApplication>

namespace Tamberlyn::Shell {

FinderHostAdapter::FinderHostAdapter(FrmVK &frmVK, QuitQuestion &quit)
    : m_frmVK(frmVK)
    , m_quit(quit)
{
}

QWidget *FinderHostAdapter::mainWindow()
{
    return &m_frmVK;
}

QString FinderHostAdapter::fileLocn() const
{
    return m_frmVK.state().FileLocn;
}

int FinderHostAdapter::screenSize() const
{
    return m_frmVK.state().ScreenSize;
}

QString FinderHostAdapter::dornDir() const
{
    return m_frmVK.state().DornDir;
}

QString FinderHostAdapter::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

void FinderHostAdapter::web1Navigate(const QString &address)
{
    m_frmVK.web1().navigate(address);
}

void FinderHostAdapter::web1GoBack()
{
    m_frmVK.web1().goBack();
}

void FinderHostAdapter::print(QWidget *owner, bool helpVisible)
{
    m_frmVK.printFor(owner, helpVisible);
}

void FinderHostAdapter::startCalculator()
{
    m_frmVK.startCalculator();
}

void FinderHostAdapter::askQuit(QWidget *owner)
{
    m_quit.AskQuit(owner, m_frmVK.state().DornDir);
}

QImage FinderHostAdapter::helpImage(qreal devicePixelRatio) const
{
    return Shell::helpImage(devicePixelRatio);
}

} // namespace Tamberlyn::Shell

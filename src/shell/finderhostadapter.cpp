#include "finderhostadapter.h"

#include "frmvk.h"
#include "helpimage.h"
#include "quitquestion.h"

#include "learner/learneraids.h"
#include "reading/readingaids.h"

#include "finders/indexfolder.h"
#include "navigation/pageloadhandler.h"
#include "platform/browserpane.h"

#include <QCoreApplication>
#include <QFileInfo>

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

// Looked up afresh each time: it is asked only when a finder window reads
// the table files, and a few file checks cost nothing beside that reading.
// A plain look here; the reader's own check, which asks about a folder it
// cannot list, still runs on the folder chosen.
QString FinderHostAdapter::programFolder() const
{
    const QStringList folders = Finders::indexFolderCandidates(QCoreApplication::applicationDirPath(),
                                                               QStringLiteral(TAMBERLYN_DATA_FROM_PROGRAM));
    return Finders::indexFolder(folders, [](const QString &path) { return QFileInfo(path).isFile(); });
}

void FinderHostAdapter::web1Navigate(const QString &address)
{
    m_frmVK.web1().navigate(address);
}

void FinderHostAdapter::web1GoBack()
{
    m_frmVK.web1().goBack();
}

void FinderHostAdapter::printHelpImage(QWidget *owner)
{
    m_frmVK.printFor(owner, true);
}

void FinderHostAdapter::printListing(QWidget *owner, const Finders::FinderPrintout &printout)
{
    m_frmVK.printDocument(owner, printout.documentName, Finders::printoutHtml(printout));
}

void FinderHostAdapter::startCalculator()
{
    m_frmVK.startCalculator();
}

void FinderHostAdapter::askQuit(QWidget *owner)
{
    m_quit.AskQuit(owner, m_frmVK.state().DornDir);
}

Navigation::CommandTurns *FinderHostAdapter::commandTurns()
{
    return &m_frmVK.handler().turns();
}

QImage FinderHostAdapter::helpImage(qreal devicePixelRatio) const
{
    return Shell::helpImage(devicePixelRatio);
}

void FinderHostAdapter::showSearchWords(const QString &address, const QStringList &words)
{
    m_frmVK.readingAids().showSearchWordsOnNextPage(address, words);
}

bool FinderHostAdapter::programKey(int key, Qt::KeyboardModifiers modifiers)
{
    return m_frmVK.lookKey(key, modifiers);
}

} // namespace Tamberlyn::Shell

namespace Tamberlyn::Shell {

Finders::FinderHost::SearchSection FinderHostAdapter::searchSection(QWidget *parent,
                                                                    std::function<void(const QString &page)> openInMain)
{
    Learner::LearnerAids *aids = m_frmVK.learnerAids();
    if (!aids)
        return {};
    const Learner::LearnerAids::SearchSection section = aids->makeSearchSection(parent, std::move(openInMain));
    return {section.widget, section.search};
}

} // namespace Tamberlyn::Shell

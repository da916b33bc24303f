#include "searchhighlight.h"

#include "readingaidslog.h"
#include "searchwordsscript.h"

#include "navigation/coursemap.h"
#include "navigation/pagedispatch.h"
#include "platform/browserpane.h"

#include <utility>

namespace Tamberlyn::Reading {

namespace {

QString pageOf(const QString &address)
{
    return Navigation::pageNameOf(address).value_or(address);
}

} // namespace

SearchHighlight::SearchHighlight(Platform::BrowserPane &web1, QObject *parent)
    : QObject(parent)
    , m_web1(web1)
{
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &SearchHighlight::Web1_DocumentComplete);
}

void SearchHighlight::showOnNextPage(const QString &address, const QStringList &words)
{
    // By page name: the pane reports the address in a form of its own (a
    // default port dropped, the host in lower case).
    m_page = pageOf(address);
    m_words = words;
}

void SearchHighlight::Web1_DocumentComplete(const QString &address)
{
    // The document that completed, whatever the pane has gone on to since.
    const QString page = pageOf(address);
    // The marks belonged to the page before; this one starts clean. Only a
    // log line would tell, so the page is asked only when one is written.
    if (std::exchange(m_marksShown, false) && lcReadingAids().isInfoEnabled()) {
        m_web1.runScript(searchWordMarksScript(), [page](const QVariant &marks) {
            qCInfo(lcReadingAids).noquote()
                << QStringLiteral("search words left on %1: %2 marks").arg(page, QString::number(marks.toInt()));
        });
    }
    if (m_words.isEmpty())
        return;
    if (!m_page.isEmpty() && page != m_page) {
        m_words.clear();
        m_page.clear();
        return;
    }
    if (!m_page.isEmpty() && Navigation::dispatchFor(page).reaction == Navigation::PageReaction::ModuleStub) {
        // The stub opens the module page made for the screen at once.
        m_page.clear();
        return;
    }
    const QStringList words = std::exchange(m_words, {});
    m_page.clear();
    m_marksShown = true;
    m_web1.runScript(searchWordsScript(words), [page, words](const QVariant &marks) {
        qCInfo(lcReadingAids).noquote() << QStringLiteral("search words \"%1\" shown on %2: %3 marks")
                                               .arg(words.join(QLatin1Char(' ')), page, QString::number(marks.toInt()));
    });
}

} // namespace Tamberlyn::Reading

#include "searchhighlight.h"

#include "readingaidslog.h"
#include "searchwordsscript.h"

#include "navigation/coursemap.h"
#include "platform/browserpane.h"

#include <QUrl>

#include <utility>

namespace Tamberlyn::Shell {

namespace {

// As the pane reports addresses, so the two compare.
QString reportedForm(const QString &address)
{
    return QUrl(address, QUrl::StrictMode).toString(QUrl::FullyEncoded);
}

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
    m_address = reportedForm(address);
    m_words = words;
}

void SearchHighlight::Web1_DocumentComplete()
{
    const QString shown = m_web1.locationUrl();
    const QString page = pageOf(shown);
    if (m_marksShown) {
        // The marks belonged to the page before; this one starts clean.
        m_marksShown = false;
        m_web1.runScript(searchWordMarksScript(), [page](const QVariant &marks) {
            qCInfo(lcReadingAids).noquote()
                << QStringLiteral("search words left on %1: %2 marks").arg(page, QString::number(marks.toInt()));
        });
    }
    if (m_address.isEmpty())
        return;
    const bool requested = shown == m_address;
    const QStringList words = std::exchange(m_words, {});
    m_address.clear();
    if (!requested || words.isEmpty())
        return;
    m_marksShown = true;
    m_web1.runScript(searchWordsScript(words), [page, words](const QVariant &marks) {
        qCInfo(lcReadingAids).noquote() << QStringLiteral("search words \"%1\" shown on %2: %3 marks")
                                               .arg(words.join(QLatin1Char(' ')), page, QString::number(marks.toInt()));
    });
}

} // namespace Tamberlyn::Shell

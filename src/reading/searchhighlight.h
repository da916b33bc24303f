#pragma once

#include <QObject>
#include <QStringList>

namespace Tamberlyn::Platform {
class BrowserPane;
}

namespace Tamberlyn::Reading {

// The words of a search, shown in the page opened from its results. The
// request holds for that page's load only: any other page that completes
// first drops it. A module stub hands it on to the module page it opens.
// The marks go with the next page turn, since they live in the page's
// document alone (nothing is added to the address, so the history records
// stay as they are).
class SearchHighlight final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchHighlight)

public:
    explicit SearchHighlight(Platform::BrowserPane &web1, QObject *parent = nullptr);

    // The page at `address` is about to open from the search results for `words`.
    void showOnNextPage(const QString &address, const QStringList &words);

private:
    void Web1_DocumentComplete(const QString &address);

    Platform::BrowserPane &m_web1;
    QString m_page; // empty while the words wait for whichever page comes next
    QStringList m_words;
    // The page before this one had marks: say how many the next one shows.
    bool m_marksShown = false;
};

} // namespace Tamberlyn::Reading

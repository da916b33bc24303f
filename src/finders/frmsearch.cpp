#include "frmsearch.h"

#include "finderfiles.h"
#include "finderhost.h"
#include "finderset.h"
#include "finderslogging.h"
#include "findertexts.h"
#include "suggestionlist.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

namespace Tamberlyn::Finders {

FrmSearch::FrmSearch(FinderSet &set)
    : FinderFrame(set, Navigation::Finder::Search, EscapeKey::PressesHelp, {24, 112, 681, 160})
    , m_txtInput(addEntryBox())
    , m_cmdFTS(new QPushButton(QStringLiteral("&Search"), this))
    , m_lblFound(addLabel("lblFound", initialFoundLabel(), {512, 88, 145, 25}))
    , m_lblLeftOut(addLabel("lblLeftOut", QString(), {24, 67, 681, 18}))
    , m_suggestionList(new SuggestionList(this))
{
    m_txtInput->setAccessibleName(QStringLiteral("Search words"));
    m_txtInput->setAccessibleDescription(QStringLiteral("One or two words to look for; Enter runs the search."));
    m_cmdFTS->setObjectName(QStringLiteral("cmdFTS"));
    m_cmdFTS->setGeometry(616, 40, 89, 25);
    m_cmdFTS->setAutoDefault(false);
    m_cmdFTS->setAccessibleName(QStringLiteral("Search"));
    m_cmdFTS->setAccessibleDescription(QStringLiteral("Searches the course for the words in the entry box."));
    connect(m_cmdFTS, &QPushButton::clicked, this, &FrmSearch::cmdFTS_Click);
    lbResults()->setAccessibleName(QStringLiteral("Search results"));
    lbResults()->setAccessibleDescription(
        QStringLiteral("The pages found; Enter or a double-click opens the selected page."));
    addLabel("lblSearch", QStringLiteral("Search Results:"), {24, 88, 137, 17})->setBuddy(lbResults());
    m_suggestionList->setGeometry(lbResults()->geometry());
    m_suggestionList->hide();
    connect(m_suggestionList, &SuggestionList::chosen, this, &FrmSearch::runSuggestion);
    orderControls({m_txtInput, m_cmdFTS, lbResults(), m_suggestionList->list()});
}

FrmSearch::~FrmSearch() = default;

void FrmSearch::LoaderUp()
{
    loadTables();
    Show();
}

void FrmSearch::loadTables()
{
    if (m_tablesLoaded)
        return;
    LoadedSearchIndex loaded = loadSearchIndex(finders().reader(), finders().host().programFolder());
    m_index = std::move(loaded.index);
    m_suggestions = std::move(loaded.suggestions);
    m_tablesLoaded = true;
    finders().tell(this, loaded.messages);
}

void FrmSearch::cmdFTS_Click()
{
    const std::optional<SearchResult> result = m_index.search(m_txtInput->text());
    if (!result)
        return;
    setResults(result->entries);
    m_resultFiles = result->resultFiles;
    m_resultWords = searchWords(m_txtInput->text());
    m_lblFound->setText(result->label());
    qCInfo(lcFinders).noquote() << "search" << m_txtInput->text() << "found" << result->count() << "pages";
    showAdvice(*result);
}

// The count stays the search's own; what it left out and what would find
// pages are said beside it.
void FrmSearch::showAdvice(const SearchResult &result)
{
    const QString text = m_txtInput->text();
    const QStringList searched = searchWords(text);
    const QString notice = leftOutNotice(searched, leftOutWords(text));
    m_lblLeftOut->setText(notice);
    m_lblLeftOut->setToolTip(notice);
    if (result.count() > 0) {
        m_suggestionList->hide();
        lbResults()->show();
        return;
    }
    const QList<SuggestedSearch> offered = m_suggestions.suggest(text, m_index);
    m_suggestionList->setAdvice(nothingFoundHeadline(searched, !offered.isEmpty()), offered);
    m_suggestionList->setGeometry(lbResults()->geometry());
    m_suggestionList->show();
    lbResults()->hide();
    QStringList said;
    for (const SuggestedSearch &suggestion : offered)
        said << suggestionEntry(suggestion.query, suggestion.pages);
    qCInfo(lcFinders).noquote() << "search" << text << "suggests"
                                << (said.isEmpty() ? QStringLiteral("nothing") : said.join(u"; "));
}

void FrmSearch::runSuggestion(const QString &query)
{
    qCInfo(lcFinders).noquote() << "suggestion" << query << "chosen";
    m_txtInput->setText(query);
    cmdFTS_Click();
    m_suggestionRun.start();
    // On to the pages found, for the arrows and Enter.
    if (!m_resultFiles.isEmpty())
        lbResults()->setFocus(Qt::OtherFocusReason);
}

void FrmSearch::lbResults_DblClick()
{
    // The second click of a double-click on a suggestion lands on the
    // pages it found; it must not open one.
    if (m_suggestionRun.isValid() && m_suggestionRun.elapsed() < QApplication::doubleClickInterval())
        return;
    const qsizetype row = selectedRow();
    if (row < 0 || row >= m_resultFiles.size())
        return;
    const QString page = m_resultFiles.at(row);
    qCInfo(lcFinders).noquote() << "search result" << row + 1 << "opens" << page;
    finders().host().showSearchWords(finders().host().fileLocn() + page, m_resultWords);
    OpenInMain(page);
}

FinderPrintout FrmSearch::printout() const
{
    FinderPrintout printout{QStringLiteral("Tamberlyn search"), windowTitle(), {}, {}, {}};
    if (!m_txtInput->text().trimmed().isEmpty())
        printout.lines << QStringLiteral("Search words: ") + m_txtInput->text();
    printout.lines << m_lblFound->text();
    if (!m_lblLeftOut->text().isEmpty())
        printout.lines << m_lblLeftOut->text();
    if (m_suggestionList->isVisibleTo(this)) {
        printout.lines << m_suggestionList->headline();
        printout.entries = m_suggestionList->entries();
    } else {
        printout.listHeading = QStringLiteral("Search Results:");
        printout.entries = resultTexts();
    }
    return printout;
}

void FrmSearch::fitOwnControls(float innerWidth)
{
    const auto boxWidth = static_cast<int>(innerWidth * 0.95f - static_cast<float>(m_cmdFTS->width()) - 20.0f);
    m_txtInput->resize(qMax(0, boxWidth), m_txtInput->height());
    m_cmdFTS->move(static_cast<int>(innerWidth * 0.88f), m_cmdFTS->y());
    m_lblLeftOut->resize(lbResults()->width(), m_lblLeftOut->height());
    m_suggestionList->setGeometry(lbResults()->geometry());
}

// The entry box and the list take Enter themselves: the box searches and
// keeps the key, the list opens the selected page.
bool FrmSearch::enterKey(QWidget *focus)
{
    if (focus == m_txtInput) {
        cmdFTS_Click();
        return true;
    }
    if (focus == lbResults()) {
        lbResults_DblClick();
        return true;
    }
    if (focus == m_suggestionList->list())
        return m_suggestionList->chooseCurrent();
    return false;
}

} // namespace Tamberlyn::Finders

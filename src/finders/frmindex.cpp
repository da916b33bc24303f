#include "frmindex.h"

#include "finderfiles.h"
#include "finderhost.h"
#include "finderset.h"
#include "finderslogging.h"
#include "findertexts.h"
#include "frmsearch.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>

namespace Tamberlyn::Finders {

FrmIndex::FrmIndex(FinderSet &set)
    : FinderFrame(set, Navigation::Finder::Index, EscapeKey::HidesHelp, {24, 112, 681, 160})
    , m_txtInput(addEntryBox())
    , m_lblFound(addLabel("lblFound", initialFoundLabel(), {512, 88, 145, 25}))
{
    m_txtInput->setAccessibleName(QStringLiteral("Index word"));
    m_txtInput->setAccessibleDescription(
        QStringLiteral("The first letters of a word; the list shows the index words that begin with them."));
    lbResults()->setAccessibleName(QStringLiteral("Index results"));
    lbResults()->setAccessibleDescription(
        QStringLiteral("The index words; Enter or a double-click lists the pages that have the selected word."));
    addLabel("lblIndex", QStringLiteral("Index Results:"), {24, 88, 137, 17})->setBuddy(lbResults());
    connect(m_txtInput, &QLineEdit::textChanged, this, &FrmIndex::txtInput_Change);
    orderControls({m_txtInput, lbResults()});
}

FrmIndex::~FrmIndex() = default;

void FrmIndex::LoadWords()
{
    // The words are read once per run; later showings find them in place.
    if (!m_wordsLoaded) {
        LoadedWordIndex loaded = loadWordIndex(finders().reader(), finders().host().programFolder());
        m_words = std::move(loaded.index);
        m_wordsLoaded = true;
        finders().tell(this, loaded.messages);
    }
    Show();
}

void FrmIndex::txtInput_Change()
{
    const Narrowing narrowing = m_words.narrow(m_txtInput->text());
    setResults(narrowing.entries);
    m_lblFound->setText(narrowing.label);
}

void FrmIndex::lbResults_DblClick()
{
    const qsizetype row = selectedRow();
    if (row < 0)
        return;
    // Taken now: the list may change while the placement is handed over.
    const QString word = resultText(row);
    qCInfo(lcFinders).noquote() << "index word" << word << "goes to the search window";
    const quint64 turn = takeTurn(QStringLiteral("index word ") + word.trimmed());
    if (QWidget *main = finders().host().mainWindow(); main && !PassPlacement(*main, turn))
        return;
    FrmSearch &search = finders().frmSearch();
    if (!PassPlacement(search, turn))
        return;
    search.loadTables();
    search.txtInput().setText(word);
    search.cmdFTS_Click();
    finders().host().web1Navigate(finders().host().fileLocn() + FinderSet::triggerPage(Navigation::Finder::Search));
    hide();
}

FinderPrintout FrmIndex::printout() const
{
    FinderPrintout printout{QStringLiteral("Tamberlyn index"), windowTitle(), {}, QStringLiteral("Index Results:"),
                            resultTexts()};
    if (!m_txtInput->text().isEmpty())
        printout.lines << QStringLiteral("Words beginning with: ") + m_txtInput->text();
    printout.lines << m_lblFound->text();
    return printout;
}

void FrmIndex::fitOwnControls(float innerWidth)
{
    m_txtInput->resize(qMax(0, static_cast<int>(innerWidth * 0.8f)), m_txtInput->height());
}

} // namespace Tamberlyn::Finders

#pragma once

#include "finderframe.h"
#include "wordindex.h"

class QLabel;
class QLineEdit;

namespace Tamberlyn::Finders {

// The word-index window: the index words that begin with what the entry
// box holds. Choosing one hands it to the search window, which lists its
// pages.
class FrmIndex final : public FinderFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmIndex)

public:
    explicit FrmIndex(FinderSet &set);
    ~FrmIndex() override;

    // Reads the words the first time, then shows the window.
    void LoadWords();
    // Narrows the list on every change of the entry box.
    void txtInput_Change();
    void lbResults_DblClick() override;
    FinderPrintout printout() const override;

    QLineEdit &txtInput() const { return *m_txtInput; }

protected:
    void fitOwnControls(float innerWidth) override;

private:
    WordIndex m_words;
    bool m_wordsLoaded = false;
    QLineEdit *m_txtInput;
    QLabel *m_lblFound;
};

} // namespace Tamberlyn::Finders

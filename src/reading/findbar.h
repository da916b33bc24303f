#pragma once

#include "platform/browserpane.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Tamberlyn::Reading {

// The slim bar below the course page that finds text in it: an entry, the
// previous and next match, a "3 of 12" count and a close button. It finds
// as the learner types; Enter and F3 go to the next match, Shift with
// them to the previous one; Esc in the bar closes it and the page takes
// the focus. A page turn keeps the bar open and finds in the new page.
class FindBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindBar)

public:
    static constexpr int Height = 30;

    FindBar(Platform::BrowserPane &web1, QWidget *parent);

    // Ctrl+F: shows the bar and puts the focus in the entry, its text selected.
    void open();
    // Clears the matches' marks, hides the bar and gives the page the focus.
    void closeBar();
    // F3 and Shift+F3 open the bar when it is closed.
    void findNext();
    void findPrevious();

    QString countText() const;

signals:
    // The main window fits the page around the bar.
    void shownOrHidden();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void find(Platform::BrowserPane::FindDirection direction);
    void showResult(const QString &text, Platform::BrowserPane::FindResult result);
    void Web1_DocumentComplete();
    // The engine would print the matches in its mark's text colour: they
    // come off while the page prints and back after.
    void Web1_PrintStarting();
    void Web1_PrintEnded();

    Platform::BrowserPane &m_web1;
    QLineEdit *m_txtFind;
    QPushButton *m_cmdPrevious;
    QPushButton *m_cmdNext;
    QLabel *m_lblCount;
    QPushButton *m_cmdClose;
    // Only the newest find's answer counts; the engine answers overtaken
    // ones with nothing found.
    quint64 m_findSerial = 0;
    // The match the count shows, counted from 1; 0 with none.
    int m_activeMatch = 0;
    bool m_marksOffForPrint = false;
};

} // namespace Tamberlyn::Reading

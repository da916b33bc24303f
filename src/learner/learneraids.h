#pragma once

#include "learnerrecord.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

class QWidget;

namespace Tamberlyn::Platform {
class BrowserPane;
class Dialogs;
class Printing;
}

namespace Tamberlyn::Learner {

class FrmBookmarks;
class LearnerBar;

// What the main window offers learners across days: the record itself
// (learnerrecord.h), the bar in which it speaks, the Bookmarks list, the
// Search window's bookmarks section and the keys (learnerkeys.h). The main
// window makes it with Web1 and needs nothing else of this room.
class LearnerAids final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LearnerAids)

public:
    struct Services
    {
        Platform::Dialogs &dialogs;
        Platform::Printing &printing;
        // Where the record's troubles (progress not saved, a damaged record
        // moved aside) are told, beside the window's other notices; without
        // it, the bar says them.
        std::function<void(const QString &text)> tellTrouble = {};
    };

    LearnerAids(Platform::BrowserPane &web1, QWidget &window, LearnerRecord::Config config, Services services);
    ~LearnerAids() override;

    LearnerRecord &record() const { return *m_record; }
    LearnerBar &bar() const { return *m_bar; }

    // The page-load handler recorded a visit.
    void pageRecorded(const QString &pageName) { m_record->pageRecorded(pageName); }
    // After the course's own keys and the reading aids': true when the key
    // was one of these.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Places the bar at the top of `pageArea` while it shows, and gives what
    // is left for the page.
    QRect fitBar(const QRect &pageArea);

    void bookmarkPage();
    void showBookmarks();
    void openFirstUnread();
    void continueWhereLeftOff();
    // Asks first, with `asking` as the question's owner.
    void forgetCourse(QWidget *asking);

    // The Search window's section of the learner's bookmarks and notes,
    // made in `parent`; `search` is to be told each search's text.
    struct SearchSection
    {
        QWidget *widget = nullptr;
        std::function<void(const QString &query)> search;
    };
    SearchSection makeSearchSection(QWidget *parent, std::function<void(const QString &page)> openInMain);

    // The Bookmarks list, made on first use.
    FrmBookmarks &bookmarksWindow();

    // Lets the writes queued so far reach the disk, for at most `timeoutMs`.
    bool finishWrites(int timeoutMs) { return m_record->finishWrites(timeoutMs); }

signals:
    // The bar came or went: the page is fitted again.
    void pageAreaChanged();

private:
    struct Prompt
    {
        enum class Kind { Notice, Offer, Note } kind;
        QString text;
        QString entryLabel;
        std::function<void(const QString &entry)> accept; // the first button; Notice has none
    };
    void Web1_DocumentComplete(const QString &address);
    void offerIfReady();
    void enqueue(Prompt prompt, bool first = false);
    void showNext();
    void notice(const QString &text);

    Platform::BrowserPane &m_web1;
    QWidget &m_window;
    Services m_services;
    LearnerRecord *m_record;
    LearnerBar *m_bar;
    QPointer<FrmBookmarks> m_bookmarks;
    QList<Prompt> m_prompts;
    std::optional<Prompt> m_shownPrompt;
    bool m_courseShown = false;
    bool m_offered = false;
};

} // namespace Tamberlyn::Learner

#include "learneraids.h"

#include "bookmarksection.h"
#include "frmbookmarks.h"
#include "learnerbar.h"
#include "learnerkeys.h"
#include "learnerlog.h"

#include "navigation/coursemap.h"
#include "platform/browserpane.h"
#include "platform/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QWidget>

namespace Tamberlyn::Learner {

namespace {

QString chooseExportFile(QWidget *parent, const QString &suggested)
{
    const QString markdown = QStringLiteral("Markdown (*.md)");
    const QString html = QStringLiteral("HTML (*.html)");
    QString filter = markdown;
    QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Export bookmarks and notes"), suggested,
                                                markdown + QStringLiteral(";;") + html, &filter);
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty())
        file += filter == html ? QStringLiteral(".html") : QStringLiteral(".md");
    return file;
}

std::optional<QString> editNote(QWidget *parent, const QString &title, const QString &note)
{
    bool ok = false;
    const QString edited = QInputDialog::getMultiLineText(parent, QStringLiteral("Note"),
                                                          QStringLiteral("Your note on \"%1\":").arg(title), note, &ok);
    return ok ? std::optional<QString>(edited) : std::nullopt;
}

QString titleOf(const ResumeSpot &spot)
{
    return spot.title.isEmpty() ? spot.page : spot.title;
}

} // namespace

LearnerAids::LearnerAids(Platform::BrowserPane &web1, QWidget &window, LearnerRecord::Config config, Services services)
    : QObject(&window)
    , m_web1(web1)
    , m_window(window)
    , m_services(services)
    , m_record(new LearnerRecord(web1, std::move(config), this))
    , m_bar(new LearnerBar(&window))
{
    m_bar->setFocusAfter(web1.view());
    connect(m_bar, &LearnerBar::shownOrHidden, this, &LearnerAids::pageAreaChanged);
    connect(m_bar, &LearnerBar::closed, this, [this] {
        m_shownPrompt.reset();
        showNext();
    });
    connect(m_record, &LearnerRecord::opened, this, &LearnerAids::offerIfReady);
    connect(m_record, &LearnerRecord::notice, this, [this](const QString &text) {
        if (m_services.tellTrouble)
            m_services.tellTrouble(text);
        else
            notice(text);
    });
    connect(&m_web1, &Platform::BrowserPane::documentComplete, this, &LearnerAids::Web1_DocumentComplete);
    m_record->start();
}

LearnerAids::~LearnerAids() = default;

void LearnerAids::Web1_DocumentComplete(const QString &address)
{
    // The course has started (its first page, the contents page, is there):
    // only then may the bar speak.
    if (m_courseShown || !Navigation::pageNameOf(address))
        return;
    m_courseShown = true;
    offerIfReady();
    showNext();
}

void LearnerAids::offerIfReady()
{
    if (!m_courseShown || !m_record->isOpen() || m_offered)
        return;
    m_offered = true;
    const std::optional<ResumeSpot> offer = m_record->resumeOffer();
    if (!offer)
        return;
    qCInfo(lcLearner).noquote() << "continue offered:" << offer->page << titleOf(*offer);
    enqueue({Prompt::Kind::Offer, QStringLiteral("Continue where you left off: %1").arg(titleOf(*offer)), {},
             [this](const QString &) { continueWhereLeftOff(); }});
}

void LearnerAids::notice(const QString &text)
{
    // What the learner must be told comes before an offer that waits for
    // an answer; the offer comes back after it.
    if (m_shownPrompt && m_shownPrompt->kind == Prompt::Kind::Offer) {
        m_prompts.prepend(*m_shownPrompt);
        m_shownPrompt.reset();
        m_bar->hide();
    }
    enqueue({Prompt::Kind::Notice, text, {}, {}}, true);
}

void LearnerAids::enqueue(Prompt prompt, bool first)
{
    if (first)
        m_prompts.prepend(std::move(prompt));
    else
        m_prompts.append(std::move(prompt));
    showNext();
}

void LearnerAids::showNext()
{
    if (m_shownPrompt || m_prompts.isEmpty() || !m_courseShown)
        return;
    Prompt prompt = m_prompts.takeFirst();
    // An offer that was taken or dropped meanwhile is no offer any more.
    if (prompt.kind == Prompt::Kind::Offer && !m_record->resumeOffer()) {
        showNext();
        return;
    }
    QList<LearnerBar::Action> actions;
    switch (prompt.kind) {
    case Prompt::Kind::Offer:
        actions = {{QStringLiteral("Continue"), QStringLiteral("Open that page at that spot (Enter, Ctrl+J)"), prompt.accept},
                   {QStringLiteral("Dismiss"), QStringLiteral("Start from here (Esc)"),
                    [this](const QString &) { m_record->dropResumeOffer(); }}};
        break;
    case Prompt::Kind::Note:
        actions = {{QStringLiteral("Save note"), QStringLiteral("Keep the note with the bookmark (Enter)"), prompt.accept},
                   {QStringLiteral("No note"), QStringLiteral("A note can be added later in the Bookmarks list (Esc)"),
                    {}}};
        break;
    case Prompt::Kind::Notice:
        actions = {{QStringLiteral("OK"), QStringLiteral("Close this message (Esc)"), {}}};
        break;
    }
    m_shownPrompt = prompt;
    m_bar->showPrompt(prompt.text, actions, prompt.entryLabel);
    qCInfo(lcLearner).noquote() << "bar:" << prompt.text;
}

QRect LearnerAids::fitBar(const QRect &pageArea)
{
    if (m_bar->isHidden())
        return pageArea;
    const int height = qMin(LearnerBar::Height, pageArea.height());
    m_bar->setGeometry(pageArea.left(), pageArea.top(), pageArea.width(), height);
    return pageArea.adjusted(0, height, 0, 0);
}

bool LearnerAids::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    switch (learnerKey(key, modifiers)) {
    case LearnerKey::None:
        return false;
    case LearnerKey::Bookmark:
        bookmarkPage();
        break;
    case LearnerKey::Bookmarks:
        showBookmarks();
        break;
    case LearnerKey::FirstUnread:
        openFirstUnread();
        break;
    case LearnerKey::Continue:
        continueWhereLeftOff();
        break;
    case LearnerKey::Forget:
        forgetCourse(&m_window);
        break;
    }
    return true;
}

void LearnerAids::continueWhereLeftOff()
{
    if (!m_record->resumeOffer())
        return;
    if (m_shownPrompt && m_shownPrompt->kind == Prompt::Kind::Offer)
        m_bar->closeBar();
    m_record->continueWhereLeftOff();
}

void LearnerAids::bookmarkPage()
{
    const QPointer<LearnerAids> self(this);
    m_record->bookmarkPageShown([self](std::optional<Bookmark> bookmark) {
        if (!self)
            return;
        if (!bookmark) {
            self->notice(QStringLiteral("There is no course page here to bookmark."));
            return;
        }
        const qint64 id = bookmark->id;
        LearnerRecord *record = self->m_record;
        Prompt prompt{Prompt::Kind::Note,
                      QStringLiteral("Bookmarked \"%1\".").arg(bookmark->title),
                      QStringLiteral("&Note:"),
                      [record, id](const QString &note) {
                          if (!note.trimmed().isEmpty())
                              record->setNote(id, note);
                      }};
        // The note is asked for at once, before anything waiting.
        if (self->m_shownPrompt) {
            self->m_prompts.prepend(*self->m_shownPrompt);
            self->m_shownPrompt.reset();
            self->m_bar->hide();
        }
        self->enqueue(std::move(prompt), true);
    });
}

void LearnerAids::showBookmarks()
{
    bookmarksWindow().showList();
}

FrmBookmarks &LearnerAids::bookmarksWindow()
{
    if (!m_bookmarks) {
        m_bookmarks = new FrmBookmarks(*m_record, {m_services.dialogs, m_services.printing, chooseExportFile, editNote},
                                       &m_window);
        connect(m_bookmarks, &FrmBookmarks::forgetRequested, this, &LearnerAids::forgetCourse);
    }
    return *m_bookmarks;
}

void LearnerAids::openFirstUnread()
{
    const QPointer<LearnerAids> self(this);
    m_record->openFirstUnread([self](std::optional<QString> page) {
        if (self && !page)
            self->notice(QStringLiteral("Every page of the course has been read."));
    });
}

void LearnerAids::forgetCourse(QWidget *asking)
{
    const auto answer = m_services.dialogs.ask(
        asking, {QStringLiteral("Forget everything kept about your reading of this course on this computer: the pages "
                                "read, where you left off, your bookmarks and notes? This cannot be undone."),
                 QStringLiteral("Forget this course?"), Platform::Dialogs::Icon::Question,
                 Platform::Dialogs::Buttons::YesNo, std::nullopt});
    if (answer != Platform::Dialogs::Answer::Yes)
        return;
    m_record->forget();
    m_prompts.removeIf([](const Prompt &p) { return p.kind != Prompt::Kind::Notice; });
    if (m_shownPrompt && m_shownPrompt->kind != Prompt::Kind::Notice)
        m_bar->closeBar();
    notice(QStringLiteral("Your record of this course has been forgotten."));
}

LearnerAids::SearchSection LearnerAids::makeSearchSection(QWidget *parent,
                                                          std::function<void(const QString &page)> openInMain)
{
    auto *section = new BookmarkSection(*m_record, std::move(openInMain), parent);
    const QPointer<BookmarkSection> guarded(section);
    return {section, [guarded](const QString &query) {
                if (guarded)
                    guarded->search(query);
            }};
}

} // namespace Tamberlyn::Learner

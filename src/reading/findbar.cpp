#include "findbar.h"

#include "readingaidslog.h"

#include "platform/qt/commandbutton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <utility>

namespace Tamberlyn::Reading {

using Platform::BrowserPane;

FindBar::FindBar(BrowserPane &web1, QWidget *parent)
    : QWidget(parent)
    , m_web1(web1)
    , m_txtFind(new QLineEdit(this))
    , m_cmdPrevious(new Platform::CommandButton(QStringLiteral("Previous"), this))
    , m_cmdNext(new Platform::CommandButton(QStringLiteral("Next"), this))
    , m_lblCount(new QLabel(this))
    , m_cmdClose(new Platform::CommandButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Find in page"));
    setAccessibleDescription(QStringLiteral("Finds text in the course page shown."));

    auto *caption = new QLabel(QStringLiteral("Find in page:"), this);
    caption->setBuddy(m_txtFind);
    m_txtFind->setObjectName(QStringLiteral("txtFind"));
    m_txtFind->setAccessibleName(QStringLiteral("Text to find"));
    m_txtFind->setAccessibleDescription(QStringLiteral(
        "Finds as you type; Enter goes to the next match, Shift+Enter to the previous one, Esc closes the bar."));
    m_txtFind->setToolTip(QStringLiteral("Text to find in the page (Ctrl+F); Esc closes the bar"));
    m_txtFind->setMinimumWidth(240);

    const struct
    {
        QPushButton *button;
        const char *name;
        const char *spokenName;
        const char *description;
        const char *toolTip;
    } buttons[] = {
        {m_cmdPrevious, "cmdFindPrevious", "Previous match", "Selects the match before the one selected.",
         "Previous match (Shift+F3 or Shift+Enter)"},
        {m_cmdNext, "cmdFindNext", "Next match", "Selects the match after the one selected.",
         "Next match (F3 or Enter)"},
        {m_cmdClose, "cmdFindClose", "Close find bar", "Closes the find bar; the page takes the focus.",
         "Close the find bar (Esc)"},
    };
    for (const auto &entry : buttons) {
        entry.button->setObjectName(QLatin1String(entry.name));
        entry.button->setAccessibleName(QString::fromLatin1(entry.spokenName));
        entry.button->setAccessibleDescription(QString::fromLatin1(entry.description));
        entry.button->setToolTip(QString::fromLatin1(entry.toolTip));
    }
    m_lblCount->setObjectName(QStringLiteral("lblFindCount"));
    // No name of its own: a screen reader reads the count itself.
    m_lblCount->setAccessibleDescription(QStringLiteral("Which match is selected, and how many the page holds."));
    m_lblCount->setMinimumWidth(110);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(6);
    row->addWidget(caption);
    row->addWidget(m_txtFind);
    row->addWidget(m_cmdPrevious);
    row->addWidget(m_cmdNext);
    row->addWidget(m_lblCount);
    row->addStretch(1);
    row->addWidget(m_cmdClose);

    connect(m_txtFind, &QLineEdit::textChanged, this, [this] { find(BrowserPane::FindDirection::Forward); });
    connect(m_cmdPrevious, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(m_cmdNext, &QPushButton::clicked, this, &FindBar::findNext);
    connect(m_cmdClose, &QPushButton::clicked, this, &FindBar::closeBar);
    connect(&m_web1, &BrowserPane::documentComplete, this, &FindBar::Web1_DocumentComplete);
    connect(&m_web1, &BrowserPane::printStarting, this, &FindBar::Web1_PrintStarting);
    connect(&m_web1, &BrowserPane::printEnded, this, &FindBar::Web1_PrintEnded);
    m_txtFind->installEventFilter(this);
    hide();
}

void FindBar::open()
{
    if (isHidden()) {
        show();
        emit shownOrHidden();
        if (!m_txtFind->text().isEmpty())
            find(BrowserPane::FindDirection::Forward);
    }
    // Not the shortcut reason: the entry would select its text on focus-in,
    // before Qt announces the focus, and a screen reader such as Orca would
    // take the early caret event for the focus and say nothing.
    m_txtFind->setFocus(Qt::OtherFocusReason);
    m_txtFind->selectAll();
}

void FindBar::closeBar()
{
    ++m_findSerial;
    m_web1.findText(QString(), BrowserPane::FindDirection::Forward, nullptr);
    m_lblCount->clear();
    if (QWidget *page = m_web1.view())
        page->setFocus(Qt::OtherFocusReason);
    hide();
    emit shownOrHidden();
    qCInfo(lcReadingAids) << "find bar closed";
}

void FindBar::findNext()
{
    if (isHidden())
        open();
    else
        find(BrowserPane::FindDirection::Forward);
}

void FindBar::findPrevious()
{
    if (isHidden())
        open();
    else
        find(BrowserPane::FindDirection::Backward);
}

QString FindBar::countText() const
{
    return m_lblCount->text();
}

void FindBar::find(BrowserPane::FindDirection direction)
{
    const QString text = m_txtFind->text();
    const quint64 serial = ++m_findSerial;
    if (text.isEmpty()) {
        m_web1.findText(QString(), direction, nullptr);
        m_lblCount->clear();
        return;
    }
    const QPointer<FindBar> self(this);
    m_web1.findText(text, direction, [self, serial, text](BrowserPane::FindResult result) {
        if (self && serial == self->m_findSerial)
            self->showResult(text, result);
    });
}

void FindBar::showResult(const QString &text, BrowserPane::FindResult result)
{
    const QString count = result.numberOfMatches > 0
                              ? QStringLiteral("%1 of %2").arg(result.activeMatch).arg(result.numberOfMatches)
                              : QStringLiteral("No matches");
    m_lblCount->setText(count);
    m_activeMatch = result.activeMatch;
    qCInfo(lcReadingAids).noquote() << QStringLiteral("find \"%1\": %2").arg(text, count);
}

void FindBar::Web1_DocumentComplete()
{
    // The bar stays open over a page turn and finds in the new page.
    if (!isHidden() && !m_txtFind->text().isEmpty())
        find(BrowserPane::FindDirection::Forward);
}

void FindBar::Web1_PrintStarting()
{
    if (isHidden() || m_txtFind->text().isEmpty())
        return;
    // The count stays: the marks come back as they were.
    ++m_findSerial;
    m_web1.findText(QString(), BrowserPane::FindDirection::Forward, nullptr);
    m_marksOffForPrint = true;
}

void FindBar::Web1_PrintEnded()
{
    if (!std::exchange(m_marksOffForPrint, false) || isHidden())
        return;
    // The engine keeps the match it had selected when the marks come off,
    // and a new find starts from there: it lands one past it, and one step
    // back is where the learner was.
    const QString text = m_txtFind->text();
    const int wanted = m_activeMatch;
    const quint64 serial = ++m_findSerial;
    const QPointer<FindBar> self(this);
    const auto landed = [self, serial, text, wanted](BrowserPane::FindResult result) {
        if (!self || serial != self->m_findSerial)
            return;
        if (result.numberOfMatches > 0 && result.activeMatch != wanted)
            self->find(BrowserPane::FindDirection::Backward);
        else
            self->showResult(text, result);
    };
    m_web1.findText(text, BrowserPane::FindDirection::Forward, landed);
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    // Esc reaches the bar from whichever of its controls has the focus;
    // none of them takes it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        closeBar();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Tamberlyn::Reading

#include "failurepanel.h"

#include "failuremessage.h"

#include "platform/qt/commandbutton.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace Tamberlyn::Shell {

namespace {

// Long lines are hard to read; the text keeps to a column this wide.
constexpr int TextWidth = 760;

} // namespace

FailurePanel::FailurePanel(QWidget *parent)
    : QFrame(parent)
    , m_heading(new QLabel(this))
    , m_text(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_retry(new Platform::CommandButton(QStringLiteral("&Retry"), this))
    // No access keys of their own: Alt+B and Alt+C are the bar's Back and
    // Contents, which stay in use beside these.
    , m_back(new Platform::CommandButton(QStringLiteral("Back"), this))
    , m_contents(new Platform::CommandButton(QStringLiteral("Contents"), this))
    , m_quit(new Platform::CommandButton(QStringLiteral("&Quit"), this))
{
    setObjectName(QStringLiteral("FailurePanel"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    m_heading->setFont(headingFont);
    m_heading->setObjectName(QStringLiteral("lblFailure"));
    // Addresses, engine texts and settings values are shown as they are,
    // never read as markup.
    for (QLabel *label : {m_heading, m_text, m_status}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setMaximumWidth(TextWidth);
    }
    m_text->setObjectName(QStringLiteral("lblWhatToCheck"));
    // Selectable, so an address or fingerprint can be copied into the settings.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selectable text alone takes the focus from a click only; Tab must
    // reach it too, or a screen reader never reads what failed.
    m_text->setFocusPolicy(Qt::StrongFocus);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_progress->setObjectName(QStringLiteral("barLoading"));
    m_progress->setAccessibleName(QStringLiteral("Loading"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(TextWidth / 2);
    m_progress->hide();

    struct Button
    {
        QPushButton *button;
        const char *name;
        const char *spokenName;
        const char *description;
        void (FailurePanel::*request)();
    };
    const Button buttons[] = {
        {m_retry, "cmdRetry", "Retry", "Loads the page again.", &FailurePanel::retryRequested},
        {m_back, "cmdFailureBack", "Back", "Goes back to the page shown before.", &FailurePanel::backRequested},
        {m_contents, "cmdFailureContents", "Contents", "Shows the contents page of the course.",
         &FailurePanel::contentsRequested},
        {m_quit, "cmdQuit", "Quit", "Ends the viewer.", &FailurePanel::quitRequested},
    };
    auto *row = new QHBoxLayout;
    for (const Button &entry : buttons) {
        entry.button->setObjectName(QLatin1String(entry.name));
        entry.button->setAccessibleName(QLatin1String(entry.spokenName));
        entry.button->setAccessibleDescription(QLatin1String(entry.description));
        connect(entry.button, &QPushButton::clicked, this, entry.request);
        row->addWidget(entry.button);
    }
    m_retry->setDefault(true);
    row->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 32, 40, 32);
    layout->setSpacing(16);
    layout->addWidget(m_heading);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addLayout(row);
    layout->addWidget(m_status);
    layout->addStretch();

    setTabOrder(m_retry, m_back);
    setTabOrder(m_back, m_contents);
    setTabOrder(m_contents, m_quit);
    setTabOrder(m_quit, m_text);
    hide();
}

FailurePanel::~FailurePanel()
{
    giveBackSiblings();
}

void FailurePanel::showButtons(bool retry, bool back, bool contents, bool quit)
{
    m_retry->setVisible(retry);
    m_back->setVisible(back);
    m_contents->setVisible(contents);
    m_quit->setVisible(quit);
}

void FailurePanel::showMessage(const FailureMessage &message, Ways ways)
{
    const bool first = ways == Ways::FirstPage;
    // Read first by a screen reader as the focus comes in.
    setAccessibleName(message.heading);
    setAccessibleDescription(first ? QStringLiteral("What failed and what to check, with Retry and Quit.")
                                   : QStringLiteral("What failed and what to check, with Retry, Back and Contents."));
    m_heading->setText(message.heading);
    m_text->setText(message.text);
    m_text->show();
    m_status->clear();
    m_progress->hide();
    showButtons(true, !first, !first, first);
    if (first)
        holdBackSiblings();
    else
        giveBackSiblings();
    show();
    raise();
    m_retry->setFocus();
    QAccessibleEvent shown(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&shown);
}

void FailurePanel::showLoading(const QString &heading, const QString &text)
{
    setAccessibleName(heading);
    setAccessibleDescription(QStringLiteral("The course is on its way; Esc stops loading, Quit ends the viewer."));
    m_heading->setText(heading);
    m_text->setText(text);
    m_status->clear();
    setProgress(0);
    showButtons(false, false, false, true);
    holdBackSiblings();
    show();
    raise();
    m_quit->setFocus();
}

void FailurePanel::setStatus(const QString &status)
{
    m_status->setText(status);
}

void FailurePanel::setProgress(int percent)
{
    m_progress->setVisible(percent >= 0);
    if (percent >= 0)
        m_progress->setValue(qMin(percent, 100));
}

void FailurePanel::dismiss()
{
    // The controls come back at once, not when the panel is deleted: a
    // click on the button bar right after the page shows must count.
    giveBackSiblings();
    hide();
}

void FailurePanel::giveBackSiblings()
{
    for (const QPointer<QWidget> &widget : std::as_const(m_heldBack)) {
        if (widget)
            widget->setEnabled(true);
    }
    m_heldBack.clear();
}

void FailurePanel::holdBackSiblings()
{
    if (!m_heldBack.isEmpty() || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *sibling : siblings) {
        if (sibling != this && !sibling->isWindow() && sibling->isEnabled()) {
            sibling->setEnabled(false);
            m_heldBack << sibling;
        }
    }
}

void FailurePanel::keyPressEvent(QKeyEvent *event)
{
    // Enter that no focused button took (the message text has the focus)
    // presses Retry, the default.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_retry->isVisible() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        m_retry->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace Tamberlyn::Shell

#include "firstpagepanel.h"

#include "firstpagemessage.h"

#include "platform/qt/commandbutton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace Tamberlyn::Shell {

namespace {

// Long lines are hard to read; the text keeps to a column this wide.
constexpr int TextWidth = 760;

} // namespace

FirstPagePanel::FirstPagePanel(QWidget *parent)
    : QFrame(parent)
    , m_heading(new QLabel(this))
    , m_text(new QLabel(this))
    , m_status(new QLabel(this))
    , m_retry(new Platform::CommandButton(QStringLiteral("&Retry"), this))
    , m_quit(new Platform::CommandButton(QStringLiteral("&Quit"), this))
{
    setObjectName(QStringLiteral("FirstPagePanel"));
    setAccessibleName(QStringLiteral("The course could not be loaded"));
    setAccessibleDescription(QStringLiteral("What failed and what to check, with Retry and Quit."));
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
    }
    m_text->setObjectName(QStringLiteral("lblWhatToCheck"));
    // Selectable, so an address or fingerprint can be copied into the settings.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selectable text alone takes the focus from a click only; Tab must
    // reach it too, or a screen reader never reads what failed.
    m_text->setFocusPolicy(Qt::StrongFocus);
    m_status->setObjectName(QStringLiteral("lblStatus"));

    m_retry->setObjectName(QStringLiteral("cmdRetry"));
    m_retry->setAccessibleName(QStringLiteral("Retry"));
    m_retry->setAccessibleDescription(QStringLiteral("Loads the first page of the course again."));
    m_retry->setDefault(true);
    m_quit->setObjectName(QStringLiteral("cmdQuit"));
    m_quit->setAccessibleName(QStringLiteral("Quit"));
    m_quit->setAccessibleDescription(QStringLiteral("Ends the viewer."));
    connect(m_retry, &QPushButton::clicked, this, &FirstPagePanel::retryRequested);
    connect(m_quit, &QPushButton::clicked, this, &FirstPagePanel::quitRequested);

    for (QLabel *label : {m_heading, m_text, m_status})
        label->setMaximumWidth(TextWidth);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_retry);
    buttons->addWidget(m_quit);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 32, 40, 32);
    layout->setSpacing(16);
    layout->addWidget(m_heading);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    layout->addStretch();

    setTabOrder(m_retry, m_quit);
    setTabOrder(m_quit, m_text);
    hide();
}

FirstPagePanel::~FirstPagePanel()
{
    giveBackSiblings();
}

void FirstPagePanel::dismiss()
{
    // The controls come back at once, not when the panel is deleted: a
    // click on the button bar right after the page shows must count.
    giveBackSiblings();
    hide();
}

void FirstPagePanel::giveBackSiblings()
{
    for (const QPointer<QWidget> &widget : std::as_const(m_heldBack)) {
        if (widget)
            widget->setEnabled(true);
    }
    m_heldBack.clear();
}

void FirstPagePanel::showMessage(const FirstPageMessage &message)
{
    m_heading->setText(message.heading);
    m_text->setText(message.text);
    m_status->clear();
    holdBackSiblings();
    show();
    raise();
    m_retry->setFocus();
}

void FirstPagePanel::showRetrying()
{
    m_status->setText(QStringLiteral("Loading the page again..."));
}

void FirstPagePanel::holdBackSiblings()
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

void FirstPagePanel::keyPressEvent(QKeyEvent *event)
{
    // Enter that no focused button took (the message text has the focus)
    // presses Retry, the default.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        m_retry->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace Tamberlyn::Shell

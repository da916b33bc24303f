#include "learnerbar.h"

#include "platform/qt/commandbutton.h"
#include "platform/qt/noticecolours.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace Tamberlyn::Learner {

LearnerBar::LearnerBar(QWidget *parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
    , m_text(new QLabel(this))
    , m_entryLabel(new QLabel(this))
    , m_entry(new QLineEdit(this))
{
    setObjectName(QStringLiteral("learnerBar"));
    Platform::followNoticeColours(*this, QColor(0xfd, 0xf6, 0xd8), QColor(0x1d, 0x27, 0x33));
    setAccessibleName(QStringLiteral("Your course record"));
    m_text->setObjectName(QStringLiteral("lblLearner"));
    m_text->setTextFormat(Qt::PlainText);
    m_entry->setObjectName(QStringLiteral("txtNote"));
    m_entry->setMinimumWidth(280);
    m_entry->setMaxLength(4000);
    m_entryLabel->setBuddy(m_entry);
    m_row->setContentsMargins(6, 3, 6, 3);
    m_row->setSpacing(6);
    m_row->addWidget(m_text);
    m_row->addWidget(m_entryLabel);
    m_row->addWidget(m_entry, 1);
    m_row->addStretch(0);
    m_entry->installEventFilter(this);
    hide();
}

void LearnerBar::showPrompt(const QString &text, const QList<Action> &actions, const QString &entryLabel)
{
    for (QPushButton *button : std::as_const(m_buttons))
        button->deleteLater();
    m_buttons.clear();
    m_actions = actions;
    m_text->setText(text);
    setAccessibleDescription(text);
    const bool withEntry = !entryLabel.isEmpty();
    m_entryLabel->setText(entryLabel);
    m_entryLabel->setVisible(withEntry);
    m_entry->clear();
    m_entry->setVisible(withEntry);
    m_entry->setAccessibleName(entryLabel);
    m_entry->setAccessibleDescription(text);
    m_row->setStretch(m_row->indexOf(m_text), withEntry ? 0 : 1);
    for (qsizetype i = 0; i < actions.size(); ++i) {
        auto *button = new Platform::CommandButton(actions.at(i).caption, this);
        button->setObjectName(QStringLiteral("cmdLearner%1").arg(i));
        button->setToolTip(actions.at(i).toolTip);
        // The text goes with the button: a screen reader reads what it answers.
        button->setAccessibleDescription(text);
        connect(button, &QPushButton::clicked, this, [this, i] { run(i); });
        m_row->addWidget(button);
        m_buttons << button;
    }
    const bool wasHidden = isHidden();
    if (QWidget *focus = QApplication::focusWidget(); focus && !isAncestorOf(focus))
        m_focusBefore = focus;
    show();
    raise();
    if (wasHidden)
        emit shownOrHidden();
    QWidget *focus = withEntry ? static_cast<QWidget *>(m_entry)
                               : (m_buttons.isEmpty() ? nullptr : static_cast<QWidget *>(m_buttons.constFirst()));
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
}

void LearnerBar::closeBar()
{
    if (isHidden())
        return;
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    // The focus goes back where the bar took it from.
    if (hadFocus && m_focusBefore && m_focusBefore->isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    else if (hadFocus && m_focusAfter)
        m_focusAfter->setFocus(Qt::OtherFocusReason);
    emit shownOrHidden();
    emit closed();
}

QString LearnerBar::text() const
{
    return m_text->text();
}

void LearnerBar::run(qsizetype action)
{
    if (action < 0 || action >= m_actions.size())
        return;
    // The action may show the next prompt; this one is over first.
    const auto chosen = m_actions.at(action).run;
    const QString entry = m_entry->text();
    closeBar();
    if (chosen)
        chosen(entry);
}

void LearnerBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        run(m_actions.size() - 1);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool LearnerBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_entry && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            run(0);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace Tamberlyn::Learner

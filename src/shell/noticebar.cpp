#include "noticebar.h"

#include "platform/qt/commandbutton.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace Tamberlyn::Shell {

NoticeBar::NoticeBar(QWidget *parent)
    : QFrame(parent)
    , m_text(new QLabel(this))
    , m_close(new Platform::CommandButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("NoticeBar"));
    setAccessibleName(QStringLiteral("Notice"));
    setAccessibleDescription(QStringLiteral("Something to know that stops nothing in the course."));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // A pale yellow, as notices are drawn, whatever the page beneath.
    QPalette notice = palette();
    notice.setColor(QPalette::Window, QColor(255, 244, 196));
    notice.setColor(QPalette::WindowText, Qt::black);
    setPalette(notice);
    m_text->setObjectName(QStringLiteral("lblNotice"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    // Reached by Tab, so a screen reader can read it again.
    m_text->setFocusPolicy(Qt::TabFocus);
    m_text->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_close->setObjectName(QStringLiteral("cmdCloseNotice"));
    m_close->setAccessibleName(QStringLiteral("Close the notice"));
    m_close->setAccessibleDescription(QStringLiteral("Hides this notice; the course is not affected."));
    m_close->setFocusPolicy(Qt::TabFocus);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close, 0, Qt::AlignTop);
    hide();
}

void NoticeBar::showNotice(const QString &text, Lasts lasts)
{
    m_text->setText(text);
    m_text->setAccessibleName(text);
    m_lasts = lasts;
    m_shown.start();
    place(m_area);
    show();
    raise();
    // A screen reader says it without the focus moving.
    QAccessibleEvent alert(m_text, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void NoticeBar::pageCame()
{
    constexpr qint64 LeastShownMs = 3000;
    if (m_lasts == Lasts::UntilNextPage && m_shown.isValid() && m_shown.elapsed() >= LeastShownMs)
        hide();
}

void NoticeBar::place(const QRect &pageArea)
{
    m_area = pageArea;
    const int textWidth = qMax(100, pageArea.width() - m_close->sizeHint().width() - 32);
    const int height = qMax(m_close->sizeHint().height(), m_text->heightForWidth(textWidth)) + 10;
    setGeometry(pageArea.left(), pageArea.top(), pageArea.width(), qMin(height, pageArea.height()));
}

QString NoticeBar::text() const
{
    return m_text->text();
}

} // namespace Tamberlyn::Shell

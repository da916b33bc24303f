#include "loadprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace Tamberlyn::Shell {

namespace {

constexpr int StripHeight = 28;
constexpr int BarWidth = 160;

} // namespace

LoadProgress::LoadProgress(QWidget *parent)
    : QFrame(parent)
    , m_text(new QLabel(this))
    , m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("LoadProgress"));
    setAccessibleName(QStringLiteral("Loading"));
    setAccessibleDescription(QStringLiteral("A page is on its way; Esc stops it."));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    m_text->setObjectName(QStringLiteral("lblLoading"));
    m_text->setTextFormat(Qt::PlainText);
    m_bar->setObjectName(QStringLiteral("barLoading"));
    m_bar->setAccessibleName(QStringLiteral("Loading"));
    m_bar->setRange(0, 100);
    m_bar->setFixedWidth(BarWidth);
    m_bar->setTextVisible(false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_bar);
    hide();
}

void LoadProgress::showLoading(const QString &text)
{
    m_text->setText(text);
    m_bar->setValue(0);
    show();
    raise();
}

void LoadProgress::setProgress(int percent)
{
    m_bar->setValue(qBound(0, percent, 100));
}

void LoadProgress::place(const QRect &pageArea)
{
    const int height = qMin(StripHeight, pageArea.height());
    setGeometry(pageArea.left(), pageArea.bottom() + 1 - height, pageArea.width(), height);
}

QString LoadProgress::text() const
{
    return m_text->text();
}

} // namespace Tamberlyn::Shell

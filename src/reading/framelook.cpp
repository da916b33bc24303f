#include "framelook.h"

#include "focusringstyle.h"

#include "platform/qt/palettelightness.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

#include <memory>

namespace Tamberlyn::Reading {

namespace {

void setEverywhere(QPalette &palette, QPalette::ColorRole role, const QColor &colour)
{
    palette.setColor(QPalette::All, role, colour);
}

// Soft black grounds, light grey text: every pair of text and ground here
// is 4.5:1 or more, disabled text aside.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(43, 43, 43);
    const QColor text(230, 230, 230);
    setEverywhere(p, QPalette::Window, window);
    setEverywhere(p, QPalette::WindowText, text);
    setEverywhere(p, QPalette::Base, QColor(31, 31, 31));
    setEverywhere(p, QPalette::AlternateBase, QColor(38, 38, 38));
    setEverywhere(p, QPalette::Text, text);
    setEverywhere(p, QPalette::Button, QColor(53, 53, 53));
    setEverywhere(p, QPalette::ButtonText, text);
    setEverywhere(p, QPalette::BrightText, QColor(255, 120, 120));
    setEverywhere(p, QPalette::ToolTipBase, QColor(58, 58, 58));
    setEverywhere(p, QPalette::ToolTipText, QColor(240, 240, 240));
    setEverywhere(p, QPalette::Highlight, QColor(53, 110, 200));
    setEverywhere(p, QPalette::HighlightedText, Qt::white);
    setEverywhere(p, QPalette::Link, QColor(138, 180, 248));
    setEverywhere(p, QPalette::LinkVisited, QColor(197, 138, 249));
    setEverywhere(p, QPalette::PlaceholderText, QColor(160, 160, 160));
    setEverywhere(p, QPalette::Light, QColor(90, 90, 90));
    setEverywhere(p, QPalette::Midlight, QColor(70, 70, 70));
    setEverywhere(p, QPalette::Mid, QColor(40, 40, 40));
    setEverywhere(p, QPalette::Dark, QColor(25, 25, 25));
    setEverywhere(p, QPalette::Shadow, Qt::black);
    const QColor disabled(140, 140, 140);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 70, 70));
    return p;
}

// Black, white and one strong colour, yellow, for links, the selection
// and the focus.
QPalette contrastPalette()
{
    QPalette p;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor strong(255, 255, 0);
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button,
                            QPalette::ToolTipBase, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        setEverywhere(p, role, black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText,
                            QPalette::BrightText, QPalette::Light, QPalette::Midlight})
        setEverywhere(p, role, white);
    setEverywhere(p, QPalette::Highlight, strong);
    setEverywhere(p, QPalette::HighlightedText, black);
    setEverywhere(p, QPalette::Link, strong);
    setEverywhere(p, QPalette::LinkVisited, strong);
    setEverywhere(p, QPalette::PlaceholderText, QColor(200, 200, 200));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(170, 170, 170));
    return p;
}

} // namespace

FrameLook::FrameLook()
    : m_desktopPalette(QApplication::palette())
    , m_desktopToolTips(QToolTip::palette())
{
}

QPalette FrameLook::palette(Look look, const QPalette &desktop, const QPalette &standardLight)
{
    switch (look) {
    case Look::Dark:
        return darkPalette();
    case Look::HighContrast:
        return contrastPalette();
    case Look::Light:
        break;
    }
    return Platform::isLightPalette(desktop) ? desktop : standardLight;
}

void FrameLook::apply(Look look)
{
    // A light desktop in the light look: nothing to do, and nothing done,
    // so the windows are exactly as they always were (and the start pays
    // for nothing).
    if (look == Look::Light && Platform::isLightPalette(m_desktopPalette) && !m_changed)
        return;
    if (!m_changed) {
        m_desktopStyle = QApplication::style() ? QApplication::style()->name() : QString();
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        m_standardLight = fusion ? fusion->standardPalette() : m_desktopPalette;
    }
    m_changed = true;
    const QPalette chosen = palette(look, m_desktopPalette, m_standardLight);
    if (look == Look::Light && Platform::isLightPalette(m_desktopPalette)) {
        if (!m_desktopStyle.isEmpty())
            QApplication::setStyle(m_desktopStyle);
        QApplication::setPalette(m_desktopPalette);
        QToolTip::setPalette(m_desktopToolTips);
        return;
    }
    // Fusion draws with the palette alone, whatever the desktop's style.
    QApplication::setStyle(new FocusRingStyle(look, QStyleFactory::create(QStringLiteral("Fusion"))));
    QApplication::setPalette(chosen);
    QToolTip::setPalette(chosen);
}

} // namespace Tamberlyn::Reading

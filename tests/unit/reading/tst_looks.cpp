#include "reading/focusringstyle.h"
#include "reading/framelook.h"
#include "reading/looks.h"

#include <QStyleFactory>
#include <QTest>

#include <memory>

using namespace Tamberlyn;
using namespace Tamberlyn::Reading;
using namespace Qt::StringLiterals;

namespace {

double linear(int v)
{
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Platform::DesktopPreference desktop(std::optional<uint> scheme, std::optional<uint> contrastLevel = {},
                                    const QString &gtkTheme = {}, const QString &gtkSettings = {},
                                    QColor window = QColor(239, 239, 239), QColor text = Qt::black)
{
    return {scheme, contrastLevel, gtkTheme, gtkSettings, window, text};
}

} // namespace

Q_DECLARE_METATYPE(Platform::DesktopPreference)
Q_DECLARE_METATYPE(Tamberlyn::Reading::Look)

class TestLooks final : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void keyAndCycle();
    void desktopPreference_data();
    void desktopPreference();
    void settingComesBeforeTheDesktop();
    void palettesAreLegible_data();
    void palettesAreLegible();
    void lightIsTheDesktopsOwnWhenLight();
};

void TestLooks::names_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("look"); // -1: no look

    QTest::newRow("light") << u"light"_s << int(Look::Light);
    QTest::newRow("Dark, spaced") << u"  Dark "_s << int(Look::Dark);
    QTest::newRow("contrast") << u"contrast"_s << int(Look::HighContrast);
    QTest::newRow("High contrast") << u"High contrast"_s << int(Look::HighContrast);
    QTest::newRow("high-contrast") << u"high-contrast"_s << int(Look::HighContrast);
    QTest::newRow("high_contrast") << u"HIGH_CONTRAST"_s << int(Look::HighContrast);
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("desktop is no look") << u"desktop"_s << -1;
    QTest::newRow("dim") << u"dim"_s << -1;
    QTest::newRow("darker") << u"darker"_s << -1;
}

void TestLooks::names()
{
    QFETCH(QString, written);
    QFETCH(int, look);
    const auto found = lookFromName(written);
    QCOMPARE(found ? int(*found) : -1, look);
    // Every look's own name reads back as itself.
    if (found)
        QCOMPARE(lookFromName(lookName(*found)), found);
}

void TestLooks::keyAndCycle()
{
    QCOMPARE(nextLook(Look::Light), Look::Dark);
    QCOMPARE(nextLook(Look::Dark), Look::HighContrast);
    QCOMPARE(nextLook(Look::HighContrast), Look::Light);

    QVERIFY(isLookKey(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(isLookKey(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier));
    QVERIFY(!isLookKey(Qt::Key_L, Qt::ControlModifier));
    QVERIFY(!isLookKey(Qt::Key_L, Qt::ShiftModifier));
    QVERIFY(!isLookKey(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier));
    QVERIFY(!isLookKey(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier));
}

void TestLooks::desktopPreference_data()
{
    QTest::addColumn<Platform::DesktopPreference>("found");
    QTest::addColumn<Look>("look");
    QTest::addColumn<QString>("source");

    const QString darkGtk = u"[Settings]\ngtk-application-prefer-dark-theme=1\n"_s;
    QTest::newRow("portal: dark") << desktop(1u) << Look::Dark << u"portal"_s;
    QTest::newRow("portal: light over a dark GTK theme")
        << desktop(2u, 0u, u"Adwaita:dark"_s, darkGtk) << Look::Light << u"portal"_s;
    QTest::newRow("portal: higher contrast") << desktop(2u, 1u) << Look::HighContrast << u"portal"_s;
    QTest::newRow("portal: no preference, GTK_THEME dark")
        << desktop(0u, 0u, u"Adwaita:dark"_s) << Look::Dark << u"GTK_THEME"_s;
    QTest::newRow("no portal, GTK_THEME high contrast")
        << desktop({}, {}, u"HighContrastInverse"_s) << Look::HighContrast << u"GTK_THEME"_s;
    QTest::newRow("GTK_THEME light") << desktop({}, {}, u"Adwaita"_s, darkGtk) << Look::Light << u"GTK_THEME"_s;
    QTest::newRow("GTK settings: prefer dark")
        << desktop({}, {}, {}, darkGtk) << Look::Dark << u"GTK theme"_s;
    QTest::newRow("GTK settings: dark theme name, spaced")
        << desktop({}, {}, {}, u"[Settings]\ngtk-theme-name = Breeze-Dark\n"_s) << Look::Dark << u"GTK theme"_s;
    QTest::newRow("GTK settings: later line wins")
        << desktop({}, {}, {}, u"[Settings]\ngtk-application-prefer-dark-theme=1\ngtk-application-prefer-dark-theme=0\n"_s)
        << Look::Light << u"no preference"_s;
    QTest::newRow("GTK settings: other group is not read")
        << desktop({}, {}, {}, u"[Other]\ngtk-application-prefer-dark-theme=true\n"_s) << Look::Light
        << u"no preference"_s;
    QTest::newRow("GTK settings: a light theme over a dark Qt palette")
        << desktop({}, {}, {}, u"[Settings]\ngtk-theme-name=Adwaita\n"_s, QColor(40, 40, 40), Qt::white)
        << Look::Light << u"GTK theme"_s;
    QTest::newRow("Qt palette: dark") << desktop({}, {}, {}, {}, QColor(40, 40, 40), Qt::white) << Look::Dark
                                      << u"Qt theme"_s;
    QTest::newRow("nothing at all") << desktop({}) << Look::Light << u"no preference"_s;
    QTest::newRow("darkness is a word, not a part of one")
        << desktop({}, {}, u"Darkwood"_s) << Look::Light << u"GTK_THEME"_s;
}

void TestLooks::desktopPreference()
{
    QFETCH(Platform::DesktopPreference, found);
    QFETCH(Look, look);
    QFETCH(QString, source);
    const DesktopLook chosen = desktopLook(found);
    QCOMPARE(chosen.look, look);
    QVERIFY2(chosen.source.contains(source), qPrintable(chosen.source));
}

void TestLooks::settingComesBeforeTheDesktop()
{
    int asked = 0;
    const auto darkDesktop = [&asked] {
        ++asked;
        return desktop(1u);
    };
    StartingLook start = startingLook(u"contrast"_s, darkDesktop);
    QCOMPARE(start.look, Look::HighContrast);
    QCOMPARE(asked, 0); // the portal is not even asked
    QVERIFY(start.problem.isEmpty());

    start = startingLook(QString(), darkDesktop);
    QCOMPARE(start.look, Look::Dark);
    QCOMPARE(asked, 1);
    QVERIFY(start.reason.contains(u"desktop"_s));

    start = startingLook(u"Desktop"_s, darkDesktop);
    QCOMPARE(start.look, Look::Dark);
    QVERIFY(start.problem.isEmpty());

    start = startingLook(u"purple"_s, darkDesktop);
    QCOMPARE(start.look, Look::Dark);
    QVERIFY(start.problem.contains(u"\"purple\""_s));
}

void TestLooks::palettesAreLegible_data()
{
    QTest::addColumn<Look>("look");
    QTest::addColumn<double>("promise");
    QTest::newRow("dark") << Look::Dark << 4.5;
    QTest::newRow("high contrast") << Look::HighContrast << 7.0;
}

// Every text the frame draws on every ground it draws it on, in the active
// and inactive windows; and a focus ring that shows against the grounds
// (3:1, what a focus indicator needs).
void TestLooks::palettesAreLegible()
{
    QFETCH(Look, look);
    QFETCH(double, promise);
    const QPalette p = FrameLook::palette(look, QPalette(), QPalette());
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window},         {QPalette::Text, QPalette::Base},
        {QPalette::Text, QPalette::AlternateBase},        {QPalette::ButtonText, QPalette::Button},
        {QPalette::ToolTipText, QPalette::ToolTipBase},   {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::PlaceholderText, QPalette::Base},      {QPalette::Link, QPalette::Base},
        {QPalette::LinkVisited, QPalette::Base},
    };
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto &[text, ground] : pairs) {
            const double ratio = contrast(p.color(group, text), p.color(group, ground));
            QVERIFY2(ratio >= promise, qPrintable(u"%1 on %2: %3"_s.arg(text).arg(ground).arg(ratio)));
        }
    }
    const QColor ring = FocusRingStyle::ringColour(look);
    for (const auto ground : {QPalette::Window, QPalette::Button, QPalette::Base})
        QVERIFY2(contrast(ring, p.color(ground)) >= 3.0, qPrintable(u"ring on %1"_s.arg(ground)));
}

void TestLooks::lightIsTheDesktopsOwnWhenLight()
{
    QPalette lightDesktop;
    lightDesktop.setColor(QPalette::Window, QColor(250, 240, 230));
    lightDesktop.setColor(QPalette::WindowText, QColor(10, 10, 10));
    QPalette darkDesktop;
    darkDesktop.setColor(QPalette::Window, QColor(30, 30, 30));
    darkDesktop.setColor(QPalette::WindowText, QColor(220, 220, 220));
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_s));
    const QPalette standard = fusion->standardPalette();

    QCOMPARE(FrameLook::palette(Look::Light, lightDesktop, standard), lightDesktop);
    // Light is a light frame even on a dark desktop.
    QCOMPARE(FrameLook::palette(Look::Light, darkDesktop, standard), standard);
}

QTEST_MAIN(TestLooks)
#include "tst_looks.moc"

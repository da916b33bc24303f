#pragma once

#include "platform/certificatepins.h"
#include "platform/qt/webenginepane.h"

#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QVariant>
#include <QWidget>

// The browser pane on the real engine in an 800 x 600 window of its own,
// for tests that load small pages given as data: addresses and ask the
// page questions with scripts.
class EnginePane final
{
public:
    // The engine's first start on a busy machine is slow.
    static constexpr int LoadTimeoutMs = 60000;
    static constexpr int ScriptTimeoutMs = 10000;

    EnginePane() = default;
    EnginePane(const EnginePane &) = delete;
    EnginePane &operator=(const EnginePane &) = delete;
    ~EnginePane() { close(); }

    // The pins the next pane trusts; set them before create().
    Tamberlyn::Platform::CertificatePins &pins() { return m_pins; }

    // A new window with the pane filling it, not yet shown, so that what
    // watches the pane can be put on it first.
    Tamberlyn::Platform::WebEnginePane *create()
    {
        close();
        m_window = new QWidget;
        m_window->resize(800, 600);
        m_pane = new Tamberlyn::Platform::WebEnginePane(m_pins, m_window);
        m_pane->view()->setGeometry(0, 0, 800, 600);
        return m_pane;
    }

    bool show()
    {
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window);
    }

    // The window goes, and the pane, its view and page with it.
    void close()
    {
        delete m_window;
        m_window = nullptr;
        m_pane = nullptr;
    }

    // Loads `html` after a doctype and a title, and waits for the document
    // to complete.
    bool load(const QString &html)
    {
        QSignalSpy complete(m_pane, &Tamberlyn::Platform::BrowserPane::documentComplete);
        m_pane->navigate(QStringLiteral("data:text/html;charset=utf-8,")
                         + QString::fromLatin1(
                             QUrl::toPercentEncoding(QStringLiteral("<!DOCTYPE html><title>T</title>") + html)));
        return complete.wait(LoadTimeoutMs);
    }

    // The script's answer; an invalid value, and a warning, if none came.
    QVariant run(const QString &script)
    {
        QVariant result;
        bool done = false;
        m_pane->runScript(script, [&](const QVariant &value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&done] { return done; }, ScriptTimeoutMs))
            qWarning("the script gave no answer");
        return result;
    }

private:
    Tamberlyn::Platform::CertificatePins m_pins;
    QWidget *m_window = nullptr;
    Tamberlyn::Platform::WebEnginePane *m_pane = nullptr;
};

#pragma once

#include "history/historylog.h"
#include "navigation/mainwindowport.h"
#include "shell/sizeclass.h"

#include <QStringList>

#include <functional>

// The main window as the page-load handler sees it, recording every call.
// Records also go to a real history file when a data folder is set.
class FakeWindow final : public Tamberlyn::Navigation::MainWindowPort
{
public:
    explicit FakeWindow(QStringList &events) : m_events(events) {}

    QString base = QStringLiteral("https://course.example/kq_cbt/kq/");
    int screenClass = 4;
    QSize measured{1280, 1024};
    bool visible = false;
    QString caption;
    Tamberlyn::History::HistoryLog log;
    bool logToFile = false;
    std::function<void()> whilePlaying; // media playback pauses like the real player

    QString fileLocn() const override { return base; }
    QString examHost() const override { return QStringLiteral("exams.example"); }
    int sizeClass() const override { return screenClass; }
    void SizeClass() override
    {
        m_events << QStringLiteral("classify");
        screenClass = Tamberlyn::Shell::classify(measured.width(), measured.height(), qint16(screenClass));
    }
    bool isWindowVisible() const override { return visible; }
    void showWindow() override
    {
        m_events << QStringLiteral("show");
        visible = true;
    }
    void setCaption(const QString &text) override
    {
        caption = text;
        m_events << QStringLiteral("caption ") + text;
    }
    void fitPane() override { m_events << QStringLiteral("fit"); }
    void hideHelp() override { m_events << QStringLiteral("hide help"); }
    void appendHistory(const QString &pageName) override
    {
        m_events << QStringLiteral("record ") + pageName;
        if (logToFile)
            log.AppendHistory(pageName);
    }
    void playVideo(const QString &address) override
    {
        m_events << QStringLiteral("video ") + address;
        if (whilePlaying)
            whilePlaying();
    }
    void playSound(const QString &address) override { m_events << QStringLiteral("sound ") + address; }
    void showSplash() override { m_events << QStringLiteral("splash on"); }
    void hideSplash() override { m_events << QStringLiteral("splash off"); }
    void showFinder(Tamberlyn::Navigation::Finder f) override { m_events << QStringLiteral("show finder %1").arg(int(f)); }
    void loadFinder(Tamberlyn::Navigation::Finder f) override { m_events << QStringLiteral("load finder %1").arg(int(f)); }
    void takeWindowState(Tamberlyn::Navigation::Finder f) override { m_events << QStringLiteral("state %1").arg(int(f)); }
    void takePosition(Tamberlyn::Navigation::Finder f) override { m_events << QStringLiteral("position %1").arg(int(f)); }

private:
    QStringList &m_events;
};

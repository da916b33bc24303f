#pragma once

#include "platform/browserpane.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/printing.h"
#include "platform/shell.h"
#include "platform/windowsystem.h"
#include "simbridge/simulatorchannel.h"

#include <QDir>
#include <QImage>
#include <QHash>
#include <QStringList>

#include <deque>
#include <functional>
#include <stdexcept>

// Test doubles for start-up. Every call lands in one shared event list so a
// test can check the order of steps across services.
namespace Fakes {

struct ProcessEnded : std::runtime_error
{
    explicit ProcessEnded(int code = 0) : std::runtime_error("process ended"), exitCode(code) {}
    int exitCode;
};

class Shell final : public Tamberlyn::Platform::Shell
{
public:
    explicit Shell(QStringList &events) : m_events(events) {}

    QHash<QString, QString> environment;
    QString line;
    bool another = false;
    QString lockFolder;
    int commandLineReads = 0;

    QString environmentValue(const QString &name) const override { return environment.value(name); }
    QString commandLine() const override
    {
        ++const_cast<Shell *>(this)->commandLineReads;
        return line;
    }
    bool openInBrowser(const QString &address) override
    {
        m_events << QStringLiteral("browser ") + address;
        return true;
    }
    bool startsPrograms = true;
    bool startProgram(const QString &program, const QStringList &arguments) override
    {
        m_events << QString(QStringLiteral("start ") + program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '))).trimmed();
        return startsPrograms;
    }
    bool anotherInstanceRunning(const QString &folder) override
    {
        lockFolder = folder;
        m_events << QStringLiteral("instance test");
        return another;
    }
    // The instance lock's channel: what the course would do when asked, and
    // what a second start hears back.
    std::function<QString()> showRequests;
    ShowReply reply;
    void answerShowRequests(std::function<QString()> show) override
    {
        m_events << QStringLiteral("answer show requests");
        showRequests = std::move(show);
    }
    ShowReply askCourseToShow() override
    {
        m_events << QStringLiteral("ask the course to show itself");
        return reply;
    }
    [[noreturn]] void endProcess(int exitCode) override { throw ProcessEnded(exitCode); }

private:
    QStringList &m_events;
};

class WindowSystem final : public Tamberlyn::Platform::WindowSystem
{
public:
    explicit WindowSystem(QStringList &events) : m_events(events) {}

    QSize screen{1280, 1024};

    QSize screenSize() const override { return screen; }
    int titleBarHeight() const override { return 23; }
    bool found = false;
    int foundOnCall = 0; // when set, the window appears at that call (1-based)
    int calls = 0;
    PointerState pointerState;

    bool bringToFront(const QString &title) override
    {
        ++calls;
        m_events << QStringLiteral("bring to front ") + title;
        return found || (foundOnCall > 0 && calls >= foundOnCall);
    }
    PointerState pointer() const override { return pointerState; }

private:
    QStringList &m_events;
};

class Channel final : public Tamberlyn::SimBridge::SimulatorChannel
{
public:
    explicit Channel(QStringList &events) : m_events(events) {}

    QString folderThatMustExist;

    void openSharedBlocks() override
    {
        const bool exists = folderThatMustExist.isEmpty() || QDir(folderThatMustExist).exists();
        m_events << (exists ? QStringLiteral("open blocks") : QStringLiteral("open blocks before the data folder"));
    }
    void writeEndFlag(qint32 value) override { m_events << QStringLiteral("end flag %1").arg(value); }
    void release() override { m_events << QStringLiteral("release blocks"); }

private:
    QStringList &m_events;
};

class Dialogs final : public Tamberlyn::Platform::Dialogs
{
public:
    std::deque<Answer> answers;
    QList<Box> shown;

    Answer ask(QWidget *, const Box &box) override
    {
        shown << box;
        if (answers.empty())
            throw std::logic_error("unexpected question");
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Printing that records what would have been printed.
class Printing final : public Tamberlyn::Platform::Printing
{
public:
    explicit Printing(QStringList &events) : m_events(events) {}

    QPrinter *printer = nullptr; // what the dialog "chose"; null: cancelled
    QString imageError;
    QString documentName; // of the last dialog

    QPrinter *choosePrinter(QWidget *, const QString &name) override
    {
        m_events << QStringLiteral("print dialog");
        documentName = name;
        return printer;
    }
    QString printImage(const QImage &image) override
    {
        m_events << QStringLiteral("print image %1x%2").arg(image.width()).arg(image.height());
        return imageError;
    }

private:
    QStringList &m_events;
};

// A browser pane with its own back history. Loads and back steps complete
// later, when the test (or the fake clock's pause) delivers the reports, the
// way a real engine reports from the event loop.
class Pane final : public Tamberlyn::Platform::BrowserPane
{
public:
    explicit Pane(QStringList &events) : m_events(events) {}

    QHash<QString, QStringList> linksOf; // links of each address
    QStringList history;
    qsizetype current = -1;
    int pendingReports = 0;

    void navigate(const QString &address) override
    {
        m_events << QStringLiteral("navigate ") + address;
        history.resize(current + 1);
        history << address;
        ++current;
        ++pendingReports;
        emit loadStarted(address);
    }
    void goBack() override
    {
        m_events << QStringLiteral("back");
        if (current <= 0)
            return; // nothing to go back to: no load, no report
        --current;
        ++pendingReports;
        emit loadStarted(locationUrl());
    }
    void stop() override { m_events << QStringLiteral("stop"); }
    QString locationUrl() const override { return current >= 0 ? history.at(current) : QString(); }
    QStringList links() const override { return linksOf.value(locationUrl()); }
    QWidget *viewWidget = nullptr; // a stand-in for the page's widget, when a test needs one
    QWidget *view() const override { return viewWidget; }
    PrintState printable = PrintState::Enabled;
    QString printError;
    PrintState printState() const override { return printable; }
    void printDocument(QPrinter &, std::function<void(const QString &)> done) override
    {
        m_events << QStringLiteral("print page ") + locationUrl();
        done(printError);
    }
    void setLinkTarget(int index, const QString &address) override
    {
        m_events << QStringLiteral("link %1 := %2").arg(index).arg(address);
        QStringList &links = linksOf[locationUrl()];
        if (index < links.size())
            links[index] = address;
    }

    // The reading aids. Finds are answered when the test says so, newest
    // last; scripts at once, with `scriptResult`.
    qreal zoom = 1.0;
    QList<std::function<void(FindResult)>> findAnswers;
    QStringList scripts;
    QVariant scriptResult;
    void setZoomFactor(qreal factor) override
    {
        zoom = factor;
        m_events << QStringLiteral("zoom %1").arg(factor);
    }
    qreal zoomFactor() const override { return zoom; }
    void findText(const QString &text, FindDirection direction, std::function<void(FindResult)> done) override
    {
        m_events << (text.isEmpty() ? QStringLiteral("stop finding")
                                    : QStringLiteral("find %1 %2").arg(text, direction == FindDirection::Forward
                                                                                 ? QStringLiteral("forward")
                                                                                 : QStringLiteral("backward")));
        findAnswers << std::move(done);
    }
    void runScript(const QString &script, std::function<void(const QVariant &)> done) override
    {
        m_events << QStringLiteral("script");
        scripts << script;
        if (done)
            done(scriptResult);
    }

    // Delivers every report due, including those that runs started by
    // these reports add meanwhile.
    void deliverAll()
    {
        while (pendingReports > 0) {
            --pendingReports;
            emit documentComplete(locationUrl());
        }
    }

    // Fails the loads due instead, as the engine reports a server it
    // cannot reach.
    void failAll(const Tamberlyn::Platform::LoadFailure &failure)
    {
        pendingReports = 0;
        emit loadFailed(locationUrl(), failure);
    }

    // The learner's stop came before the page: the engine steps back to
    // the page shown before and says the load was stopped.
    void stopped()
    {
        const QString address = locationUrl();
        pendingReports = 0;
        if (current > 0)
            history.remove(current--);
        emit loadFailed(address, {Tamberlyn::Platform::LoadFailure::Kind::Aborted, -3, QStringLiteral("stopped"), {}});
    }

private:
    QStringList &m_events;
};

// WaitSecond runs whatever is due meanwhile, which is where nested
// page-load runs come from.
class Clock final : public Tamberlyn::Platform::Clock
{
public:
    explicit Clock(QStringList &events) : m_events(events) {}

    std::function<void()> duringWait;
    double tick = 1000;

    double tickNow() const override { return tick; }
    void waitSecond() override
    {
        m_events << QStringLiteral("wait");
        tick += 1000;
        if (duringWait)
            duringWait();
    }

private:
    QStringList &m_events;
};

} // namespace Fakes

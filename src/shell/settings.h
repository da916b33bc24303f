#pragma once

#include "folders.h"

#include <QString>
#include <QStringList>

#include <chrono>

class QSettings;

namespace Tamberlyn::Shell {

// Deployment settings: read from the user's INI file, each overridable by an
// environment variable (the demo run and the tests use those).
struct Settings
{
    QString courseHost;    // host[:port] of the course web server
    QString coursePin;     // SHA-256 fingerprint pinned for it, may be empty
    QString examHost;      // host[:port] of the practice exam service
    QString examPin;
    QString calculator;    // calculator program, empty: search PATH
    QString programFiles;  // where the simulators are installed, empty: /opt
    QString courseTimeout; // seconds to wait for the first course page, empty: the default
    QString zoom;          // the course page's zoom in percent, empty: 100 (reading/zoomsteps.h)
    QString look;          // light, dark or contrast; empty: the desktop's (reading/looks.h)

    // Where the values came from, so a message can say what to change: the
    // INI file read, and the INI keys whose value an environment variable gave.
    QString fileName;
    QStringList fromEnvironment;

    static constexpr const char *DefaultCourseHost = "127.0.0.1:8443";
    static constexpr int DefaultCourseTimeout = 30;
    static constexpr int MaximumCourseTimeout = 600;

    // Reads `ini`, then lets the TAMBERLYN_* variables override each key.
    static Settings read(const QSettings &ini, const EnvironmentLookup &env);
    // The learner's own zoom and look, kept in a file of the viewer's
    // (`viewState`), come before the settings file's, which then only give
    // what to start from; an environment variable still wins over both.
    void takeViewState(const QSettings &viewState);
    // The environment variable that overrides an INI key ("course/host").
    static QString environmentVariableFor(const QString &iniKey);

    // "https://" + course host + "/kq_cbt/kq/".
    QString fileLocn() const;
    // How long the first course page may take before the learner is told
    // it did not come; the default when the setting is unusable.
    std::chrono::seconds firstPageWait() const;

    // Everything wrong with these settings, one line each; empty when usable.
    QStringList problems() const;
};

// Why a course host cannot be used, or an empty text when it can. Beyond a
// well-formed host[:port], the host must not contain "mod", "obj", "kqprac"
// or a contents-page name: the resize rule searches the whole address for
// those to pick a page variant.
QString courseHostProblem(const QString &host);

// Writes the course page's zoom to the view-state file at once, so the level
// holds for the next start however this run ends. Never the settings file:
// that one is the learner's or the administrator's, and writing it back would
// drop its comments and layout. False when the file could not be written.
bool storeZoom(QSettings &viewState, int percent);
// The same for the look the learner chose ("light", "dark", "contrast").
bool storeLook(QSettings &viewState, const QString &look);

} // namespace Tamberlyn::Shell

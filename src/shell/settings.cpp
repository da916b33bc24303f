#include "settings.h"

#include "platform/certificatepins.h"

#include <QSettings>
#include <QUrl>

#include <optional>

namespace Tamberlyn::Shell {

namespace {

struct Key
{
    const char *iniKey;
    const char *environmentVariable;
    QString Settings::*field;
};

const Key Keys[] = {
    {"course/host", "TAMBERLYN_COURSE_HOST", &Settings::courseHost},
    {"course/pin", "TAMBERLYN_COURSE_PIN", &Settings::coursePin},
    {"exam/host", "TAMBERLYN_EXAM_HOST", &Settings::examHost},
    {"exam/pin", "TAMBERLYN_EXAM_PIN", &Settings::examPin},
    {"programs/calculator", "TAMBERLYN_CALCULATOR", &Settings::calculator},
    {"programs/folder", "TAMBERLYN_PROGRAM_FILES", &Settings::programFiles},
    {"course/timeout", "TAMBERLYN_COURSE_TIMEOUT", &Settings::courseTimeout},
    {"view/zoom", "TAMBERLYN_ZOOM", &Settings::zoom},
    {"view/look", "TAMBERLYN_LOOK", &Settings::look},
};

// Whole seconds within the allowed range, or nothing.
std::optional<int> timeoutSeconds(const QString &text)
{
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 1 || seconds > Settings::MaximumCourseTimeout)
        return std::nullopt;
    return seconds;
}

QString hostFormProblem(const QString &host)
{
    if (host.isEmpty())
        return QStringLiteral("is empty");
    const QUrl url(QStringLiteral("https://") + host + QLatin1Char('/'), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()
        || url.path() != QLatin1String("/") || url.hasQuery() || url.hasFragment()) {
        return QStringLiteral("is not a host name with an optional port");
    }
    return {};
}

QString markerProblem(const QString &host)
{
    QStringList markers{QStringLiteral("mod"), QStringLiteral("obj"), QStringLiteral("kqprac")};
    for (char letter = 'a'; letter <= 'k'; ++letter)
        markers << QStringLiteral("kq") + QLatin1Char(letter) + QStringLiteral(".vxp");
    for (const QString &marker : markers) {
        if (host.contains(marker))
            return QStringLiteral("contains \"%1\", which page addresses are searched for").arg(marker);
    }
    // Page names are cut after the first "kq/" of an address, which must be
    // the one that ends the base address.
    const QString base = QStringLiteral("https://") + host + QStringLiteral("/kq_cbt/kq/");
    if (base.indexOf(QLatin1String("kq/")) != base.size() - 3)
        return QStringLiteral("ends in \"kq\", where page names would be cut");
    return {};
}

} // namespace

Settings Settings::read(const QSettings &ini, const EnvironmentLookup &env)
{
    Settings settings;
    settings.fileName = ini.fileName();
    for (const Key &key : Keys) {
        const QString fromEnvironment = env(QLatin1String(key.environmentVariable)).trimmed();
        settings.*key.field = fromEnvironment.isEmpty()
                                  ? ini.value(QLatin1String(key.iniKey)).toString().trimmed()
                                  : fromEnvironment;
        if (!fromEnvironment.isEmpty())
            settings.fromEnvironment << QLatin1String(key.iniKey);
    }
    if (settings.courseHost.isEmpty())
        settings.courseHost = QLatin1String(DefaultCourseHost);
    // The demo server serves the practice exams too.
    if (settings.examHost.isEmpty())
        settings.examHost = settings.courseHost;
    return settings;
}

void Settings::takeViewState(const QSettings &viewState)
{
    for (const auto &[key, field] : {std::pair{QStringLiteral("view/zoom"), &Settings::zoom},
                                     std::pair{QStringLiteral("view/look"), &Settings::look}}) {
        if (!fromEnvironment.contains(key) && viewState.contains(key))
            this->*field = viewState.value(key).toString().trimmed();
    }
}

QString Settings::environmentVariableFor(const QString &iniKey)
{
    for (const Key &key : Keys) {
        if (iniKey == QLatin1String(key.iniKey))
            return QLatin1String(key.environmentVariable);
    }
    return {};
}

QString Settings::fileLocn() const
{
    return QStringLiteral("https://") + courseHost + QStringLiteral("/kq_cbt/kq/");
}

std::chrono::seconds Settings::firstPageWait() const
{
    return std::chrono::seconds(timeoutSeconds(courseTimeout).value_or(DefaultCourseTimeout));
}

QStringList Settings::problems() const
{
    QStringList found;
    if (const QString problem = courseHostProblem(courseHost); !problem.isEmpty())
        found << QStringLiteral("The course host \"%1\" %2.").arg(courseHost, problem);
    if (const QString problem = hostFormProblem(examHost); !problem.isEmpty())
        found << QStringLiteral("The exam host \"%1\" %2.").arg(examHost, problem);
    const auto checkPin = [&found](const QString &pin, const char *what) {
        if (!pin.isEmpty() && !Platform::CertificatePins::parseFingerprint(pin))
            found << QStringLiteral("The %1 certificate fingerprint \"%2\" is not 64 hexadecimal digits.")
                         .arg(QLatin1String(what), pin);
    };
    checkPin(coursePin, "course");
    checkPin(examPin, "exam");
    if (!courseTimeout.isEmpty() && !timeoutSeconds(courseTimeout))
        found << QStringLiteral("The course time-out \"%1\" is not a whole number of seconds from 1 to %2.")
                     .arg(courseTimeout, QString::number(MaximumCourseTimeout));
    return found;
}

QString courseHostProblem(const QString &host)
{
    if (QString problem = hostFormProblem(host); !problem.isEmpty())
        return problem;
    // The viewer makes addresses from the host as given, but the page-load
    // handler reads the ones the browser pane reports, where the host is in
    // lower case and encoded ("Objects.example" comes back "objects...").
    // Neither form may hold what page addresses are searched for.
    const QString reported = QUrl(QStringLiteral("https://") + host + QLatin1Char('/'), QUrl::StrictMode)
                                 .authority(QUrl::FullyEncoded);
    for (const QString &form : {host, reported}) {
        if (QString problem = markerProblem(form); !problem.isEmpty())
            return problem;
    }
    return {};
}

namespace {

bool storeViewState(QSettings &viewState, const QString &key, const QVariant &value)
{
    viewState.setValue(key, value);
    viewState.sync();
    return viewState.status() == QSettings::NoError;
}

} // namespace

bool storeZoom(QSettings &viewState, int percent)
{
    return storeViewState(viewState, QStringLiteral("view/zoom"), percent);
}

bool storeLook(QSettings &viewState, const QString &look)
{
    return storeViewState(viewState, QStringLiteral("view/look"), look);
}

} // namespace Tamberlyn::Shell

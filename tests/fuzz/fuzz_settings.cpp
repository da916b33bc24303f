// The deployment settings as the environment gives them: every value
// read, checked, and - when the checks pass - used the way the viewer uses
// it. A course host the settings accept must leave the page-name rules
// intact for the addresses the browser pane reports, and a pin they accept
// must be a fingerprint that survives its own printing.
//
// Input: the six TAMBERLYN_* values (FuzzedDataProvider strings, UTF-8) in
// the order of the settings' keys.

#include "fuzzcheck.h"
#include "scratchfiles.h"

#include "navigation/coursemap.h"
#include "navigation/sizevariant.h"
#include "platform/certificatepins.h"
#include "shell/settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QHash>
#include <QSettings>
#include <QUrl>

#include <cstdint>

using namespace Tamberlyn;
using Fuzz::require;

namespace {

const char *const Variables[] = {"TAMBERLYN_COURSE_HOST", "TAMBERLYN_COURSE_PIN",   "TAMBERLYN_EXAM_HOST",
                                 "TAMBERLYN_EXAM_PIN",    "TAMBERLYN_CALCULATOR", "TAMBERLYN_PROGRAM_FILES"};

// What the browser pane reports for an address it loaded.
QString reported(const QString &address)
{
    return QUrl(address, QUrl::StrictMode).toString(QUrl::FullyEncoded);
}

void checkCourseHost(const Shell::Settings &settings)
{
    const QString fileLocn = settings.fileLocn();
    for (const QString &page : {QStringLiteral("kqb.vxp"), QStringLiteral("kq010003.vxp"), QStringLiteral("title.vxp")}) {
        for (const QString &address : {QString(fileLocn + page), reported(fileLocn + page)}) {
            require(Navigation::pageNameOf(address) == page, "an accepted course host changes page names", address);
            // An ordinary page reloads as it stands after a resize.
            if (page == QLatin1String("kq010003.vxp"))
                require(Navigation::sizeVariantAddress(address, fileLocn, 3) == address,
                        "an accepted course host makes an ordinary page a size variant", address);
        }
    }
    Platform::CertificatePins pins;
    require(pins.pin(settings.courseHost, QByteArray(32, '\x5a')), "an accepted course host cannot be pinned",
            settings.courseHost);
}

void checkPin(const QString &pin)
{
    if (pin.isEmpty())
        return;
    const auto fingerprint = Platform::CertificatePins::parseFingerprint(pin);
    require(fingerprint && fingerprint->size() == 32, "an accepted pin is not 32 bytes", pin);
    const QString printed = Platform::CertificatePins::formatFingerprint(*fingerprint);
    require(Platform::CertificatePins::parseFingerprint(printed) == fingerprint, "a printed pin reads back otherwise",
            pin);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QHash<QString, QString> environment;
    for (const char *variable : Variables) {
        const std::string value = input.ConsumeRandomLengthString(256);
        environment.insert(QLatin1String(variable), QString::fromUtf8(value.data(), qsizetype(value.size())));
    }
    // No INI file: the environment alone decides.
    static const QSettings ini(Fuzz::missingScratchFile(), QSettings::IniFormat);
    const Shell::Settings settings =
        Shell::Settings::read(ini, [&environment](const QString &name) { return environment.value(name); });
    require(!settings.courseHost.isEmpty() && !settings.examHost.isEmpty(), "a host was left empty");

    if (Shell::courseHostProblem(settings.courseHost).isEmpty())
        checkCourseHost(settings);
    if (settings.problems().isEmpty()) {
        checkPin(settings.coursePin);
        checkPin(settings.examPin);
    }
    return 0;
}

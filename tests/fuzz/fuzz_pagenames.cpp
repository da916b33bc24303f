// Page names and addresses through every function that reads them: the
// page name of an address, what the page-load handler does with it, its
// module, media and exam, and the size variant to reload.
//
// Input: the address as UTF-8; the first byte is the size class (any value,
// in range or not).

#include "fuzzcheck.h"

#include "navigation/coursemap.h"
#include "navigation/pagedispatch.h"
#include "navigation/sizevariant.h"

#include <cstdint>

using namespace Tamberlyn;
using namespace Tamberlyn::Navigation;
using Fuzz::require;

namespace {

const QString FileLocn = QStringLiteral("https://127.0.0.1:8443/kq_cbt/kq/");
const QString MediaBase = QStringLiteral("https://127.0.0.1:8443/kq_cbt/");

void checkDispatch(const QString &pageName)
{
    const PageDispatch dispatch = dispatchFor(pageName);
    require(dispatch.moduleLabel.isEmpty() == (dispatch.reaction != PageReaction::ModuleStub),
            "a module label without a module stub, or the other way", pageName);
    if (dispatch.reaction == PageReaction::ModuleStub) {
        // The stub's module and the label's agree: "kq03..." opens "mod03"/"obj03".
        const auto module = moduleNumberOf(pageName);
        require(module && dispatch.moduleLabel.mid(3) == QStringLiteral("0%1").arg(*module),
                "a module stub opens another module", pageName);
    }
    if (dispatch.reaction == PageReaction::Contents) {
        bool named = false;
        for (int sizeClass = FirstSizeClass; sizeClass <= LastSizeClass; ++sizeClass)
            named = named || pageName == contentsPageName(sizeClass);
        require(named, "a contents reaction for a name that is no contents page", pageName);
    }
    require(dispatch.reaction != PageReaction::ExamTrigger || examPathOf(pageName).has_value(),
            "an exam reaction without an exam", pageName);
}

void checkMedia(const QString &pageName)
{
    const auto media = mediaAddressOf(MediaBase, pageName);
    if (!media)
        return;
    require(media->address.startsWith(MediaBase), "a media address off the course", pageName);
    const bool video = media->kind == MediaAddress::Kind::Video;
    require(media->address.endsWith(video ? QStringLiteral(".avi") : QStringLiteral(".wav")),
            "a media address with the wrong kind of file", pageName);
    const PageReaction reaction = dispatchFor(pageName).reaction;
    require(reaction == (video ? PageReaction::VideoTrigger : PageReaction::SoundTrigger),
            "media for a page the handler does not play", pageName);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int sizeClass = static_cast<qint8>(data[0]);
    const QString address = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    // The address itself as a page name too: the handler sees names cut
    // from addresses, but the functions take any text.
    for (const QString &pageName : {pageNameOf(address).value_or(QString()), address}) {
        checkDispatch(pageName);
        checkMedia(pageName);
        if (const auto module = moduleNumberOf(pageName))
            require(*module >= -9 && *module <= 99, "a module number from two characters out of range", pageName);
    }
    if (const auto pageName = pageNameOf(address))
        require(address.endsWith(*pageName) && address.left(address.size() - pageName->size()).endsWith(u"kq/"),
                "the page name is not what follows kq/", address);

    const QString variant = sizeVariantAddress(address, FileLocn, sizeClass);
    require(variant == address || (variant.startsWith(FileLocn) && variant.endsWith(QStringLiteral(".vxp"))),
            "a size variant off the course", address);
    if (sizeLetter(sizeClass))
        require(sizedAddress(FileLocn, QStringLiteral("mod03"), sizeClass, SizeFallback::NoVariant).has_value(),
                "no variant for a size class with a letter");
    return 0;
}

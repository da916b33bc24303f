#pragma once

#include <QString>

#include <optional>

// The course's vocabulary: page names, size variants, modules, and the
// addresses of media and practice exams. Everything the viewer does for a
// page follows from its name, so these are plain functions of their inputs.
namespace Tamberlyn::Navigation {

// Size classes run 1..11; any other value means "no class yet".
inline constexpr int FirstSizeClass = 1;
inline constexpr int LastSizeClass = 11;

// The text after the first "kq/" of an address (case-sensitive), fragment
// and query included; nothing when the address holds no "kq/".
std::optional<QString> pageNameOf(const QString &address);

// "a".."k" for classes 1..11; nothing for any other value.
std::optional<QChar> sizeLetter(int sizeClass);
// Contents pages fall back to "a" when the class is unassigned.
QChar contentsSizeLetter(int sizeClass);

enum class SizeFallback { ToFirstVariant, NoVariant };

// base + prefix + letter + ".vxp", e.g. prefix "kq", "kqcr", "mod03",
// "obj03", "kqprac". Nothing when the class has no letter and no fallback
// is allowed.
std::optional<QString> sizedAddress(const QString &base, const QString &prefix, int sizeClass,
                                    SizeFallback fallback);

// Contents page name for a class: "kqa.vxp" for class 1 and anything
// outside 2..11.
QString contentsPageName(int sizeClass);

// Module number carried by a page name: "kqMM..." or "mod"/"obj" + "MM..."
// where the two characters read as a number. Nothing otherwise.
std::optional<int> moduleNumberOf(const QString &pageName);

struct MediaAddress
{
    enum class Kind { Video, Sound };
    Kind kind;
    QString address;
};

// The video of "title.vxp" and of pages beginning "fig", the sound of pages
// beginning "v". Nothing for other pages, and nothing when a fig/v name
// holds no ".vxp" to cut the file name at.
std::optional<MediaAddress> mediaAddressOf(const QString &base, const QString &pageName);

// Path on the exam service for "pe01.vxp" … "pe07.vxp"; nothing otherwise.
std::optional<QString> examPathOf(const QString &pageName);
QString examAddress(const QString &examHost, const QString &examPath);

} // namespace Tamberlyn::Navigation

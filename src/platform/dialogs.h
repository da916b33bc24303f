#pragma once

#include <QPoint>
#include <QString>

#include <optional>

class QWidget;

namespace Tamberlyn::Platform {

// Every modal box of the program goes through this service, so tests can
// answer questions without a blocking event loop.
class Dialogs
{
public:
    enum class Icon { Information, Warning, Question, Critical };
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Box
    {
        QString text;
        QString title;
        Icon icon = Icon::Information;
        Buttons buttons = Buttons::Ok;
        // Top-left corner relative to the owner's top-left corner; the box is
        // centred the usual way when this is empty.
        std::optional<QPoint> offset;
    };

    virtual ~Dialogs() = default;
    virtual Answer ask(QWidget *owner, const Box &box) = 0;
};

} // namespace Tamberlyn::Platform

#pragma once

#include <QWidget>

namespace Tamberlyn::Shell {

// "One moment please..." while a finder window loads its data the first time.
class FrmSplsh final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmSplsh)

public:
    explicit FrmSplsh(QWidget *parent = nullptr);

    // Shows itself with its top-left at `topLeft` and paints at once, since
    // the load that follows keeps the event loop busy.
    void showAt(QPoint topLeft);
};

} // namespace Tamberlyn::Shell

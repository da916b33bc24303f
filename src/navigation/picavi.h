#pragma once

#include <QWidget>

namespace Tamberlyn::Navigation {

// The dark backdrop (picAVI) laid over the whole main window behind a
// video. Any press on it, with any button, asks for the video to stop.
class PicAvi final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PicAvi)

public:
    explicit PicAvi(QWidget *parent = nullptr);

signals:
    void mouseDown();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

} // namespace Tamberlyn::Navigation

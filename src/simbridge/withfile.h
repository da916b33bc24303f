#pragma once

#include <QWidget>

namespace Tamberlyn::SimBridge {

// The companion window: a small RETURN TO TEXT button that floats above the
// simulator at the top of the screen while a simulation is open.
class Withfile final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Withfile)

public:
    static constexpr QSize Size{178, 65};
    // Its right edge lies 144 pixels from the screen's right edge.
    static constexpr int OffsetFromRight = 322;

    explicit Withfile(QWidget *parent = nullptr);

    // Form_Load: placed at (screen width - 322, 0) and shown.
    void placeAndShow(int screenWidth);
    QWidget *picRud29() const { return m_pressed; }

signals:
    void returnRequested(); // left button released
    void quitRequested();   // right button pressed

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QWidget *m_pressed;
};

} // namespace Tamberlyn::SimBridge

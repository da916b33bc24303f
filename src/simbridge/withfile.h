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

    // What a left click does, and what a right click does, for the
    // keyboard and for assistive technology.
    void press();
    void openMenu();

signals:
    void returnRequested(); // left button released
    void quitRequested();   // right button pressed

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Space (pressed look while held) and Enter return to the course;
    // the menu key and Shift+F10 ask whether to quit.
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    // The focus ring comes and goes with the focus.
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QWidget *m_pressed;
};

} // namespace Tamberlyn::SimBridge

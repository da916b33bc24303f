#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace Tamberlyn::Simulator {

// The simulator's window: the circuit file it was given, the request code,
// and the button that closes the simulation. Closing the window any other
// way (title bar, window manager) counts as that button too.
class SimulatorWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit SimulatorWindow(QWidget *parent = nullptr);

    // Texts as they are to be shown; the title is taken literally.
    void setPathText(const QString &text);
    void setRequestText(const QString &text);
    void setLiteralTitle(const QString &title);

signals:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_path = nullptr;
    QLabel *m_request = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace Tamberlyn::Simulator

#include "simulatorwindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Tamberlyn::Simulator {

namespace {

QLabel *valueLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    // The text comes from shared memory: never let a '<' in it switch the
    // label to rich text.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A 255-character path must not stretch the window past the screen.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

} // namespace

SimulatorWindow::SimulatorWindow(QWidget *parent) : QWidget(parent)
{
    m_path = valueLabel(QStringLiteral("pathLabel"), this);
    m_request = valueLabel(QStringLiteral("requestLabel"), this);
    m_close = new QPushButton(QStringLiteral("&Close simulation"), this);
    m_close->setObjectName(QStringLiteral("closeSimulationButton"));
    m_close->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Circuit file:"), m_path);
    form->addRow(QStringLiteral("Request code:"), m_request);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(m_close, 0, Qt::AlignRight);
    resize(520, 160);

    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    m_close->setFocus();
}

void SimulatorWindow::setPathText(const QString &text)
{
    m_path->setText(text);
    m_path->setToolTip(text);
}

void SimulatorWindow::setRequestText(const QString &text)
{
    m_request->setText(text);
}

void SimulatorWindow::setLiteralTitle(const QString &title)
{
    // setWindowTitle treats "[*]" as the modified-marker placeholder and
    // drops it; doubled, it stands for itself.
    QString escaped = title;
    escaped.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    setWindowTitle(escaped);
}

void SimulatorWindow::closeEvent(QCloseEvent *event)
{
    emit closeRequested();
    event->accept();
}

} // namespace Tamberlyn::Simulator

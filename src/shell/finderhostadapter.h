#pragma once

#include "finders/finderhost.h"

namespace Tamberlyn::Shell {

class FrmVK;
class QuitQuestion;

// The finder windows' view of the main window.
class FinderHostAdapter final : public Finders::FinderHost
{
public:
    FinderHostAdapter(FrmVK &frmVK, QuitQuestion &quit);

    QWidget *mainWindow() override;
    QString fileLocn() const override;
    int screenSize() const override;
    QString dornDir() const override;
    QString programFolder() const override;
    void web1Navigate(const QString &address) override;
    void web1GoBack() override;
    void printHelpImage(QWidget *owner) override;
    void printListing(QWidget *owner, const Finders::FinderPrintout &printout) override;
    void startCalculator() override;
    void askQuit(QWidget *owner) override;
    Navigation::CommandTurns *commandTurns() override;
    QImage helpImage(qreal devicePixelRatio) const override;
    void showSearchWords(const QString &address, const QStringList &words) override;
    SearchSection searchSection(QWidget *parent, std::function<void(const QString &page)> openInMain) override;
    bool programKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    FrmVK &m_frmVK;
    QuitQuestion &m_quit;
};

} // namespace Tamberlyn::Shell

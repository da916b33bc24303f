#include "finderframe.h"

#include "finderhost.h"
#include "finderset.h"

#include "navigation/commandturns.h"
#include "navigation/coursemap.h"
#include "platform/clock.h"
#include "platform/qt/windowplacement.h"
#include "platform/qt/windowstatekeeper.h"
#include "platform/qt/accessiblewindow.h"
#include "platform/qt/classicfont.h"
#include "platform/qt/palettelightness.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QStyleOptionFocusRect>

namespace Tamberlyn::Finders {

using Navigation::Finder;

namespace {

constexpr int ButtonTop = 2;
constexpr QSize ButtonSize{65, 19};
constexpr QSize DesignClientSize{968, 741};
constexpr QRect HelpPlace{40, 48, 809, 649};
constexpr QRect EntryBoxPlace{24, 40, 569, 24};
// Where a window dragged off the left edge of the screen comes back to.
constexpr QPoint RescuedPosition{100, 100};
constexpr Qt::WindowStates PlacementStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

struct Look
{
    const char *name;
    const char *caption;
    const char *description; // for screen readers
};

Look lookOf(Finder finder)
{
    switch (finder) {
    case Finder::Search:
        return {"frmSearch", "Tamberlyn - Search", "Finds the course pages that have one or two words."};
    case Finder::Index:
        return {"frmIndex", "Tamberlyn - Index", "The words of the course in alphabetical order."};
    case Finder::History:
        break;
    }
    return {"frmHist", "Tamberlyn - History", "The pages seen, oldest first; choose one to open it again."};
}

// What the help picture toggles say, wherever the button sits.
constexpr const char *TogglesHelp = "Shows or hides the help picture: what each button does.";
// Back, << and >> of a finder window all do this.
constexpr const char *LeavesWindow = "Leaves this window for the page shown before it.";

QFont classicFont(qreal pointSize, bool bold = false)
{
    return Platform::classicSansSerif(pointSize, bold);
}

bool isNormal(Qt::WindowStates states)
{
    return !(states & PlacementStates);
}

// A width or height from the inner area; a minimised or tiny window must
// not give a control a negative size.
int scaled(float inner, float factor, float less = 0.0f)
{
    return qMax(0, static_cast<int>(inner * factor - less));
}

// lbResults. Coming into the list by keyboard leaves nothing selected, and
// the first arrow key then selects the first entry, as in a classic list
// box; Qt's own list would make the first entry current without selecting
// it and move past it, so an only entry could not be chosen by keyboard.
class ResultList final : public QListView
{
public:
    using QListView::QListView;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QListView::focusInEvent(event);
        if (!selectionModel()->hasSelection())
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        viewport()->update();
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        QListView::focusOutEvent(event);
        viewport()->update();
    }

    // With no current entry the view draws no focus at all, and a learner
    // who tabs in could not see where the keyboard went. A classic list box
    // then rings its first line; so does this one, the way the style rings
    // a focused entry (and only once the keyboard has moved the focus).
    void paintEvent(QPaintEvent *event) override
    {
        QListView::paintEvent(event);
        if (!hasFocus() || currentIndex().isValid())
            return;
        QStyleOptionFocusRect ring;
        ring.initFrom(this);
        ring.backgroundColor = palette().color(QPalette::Base);
        const QModelIndex first = model() ? model()->index(0, 0) : QModelIndex();
        ring.rect = first.isValid() ? visualRect(first)
                                    : QRect(0, 0, viewport()->width(), fontMetrics().height() + 2);
        QPainter painter(viewport());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &ring, &painter, this);
    }
};

} // namespace

FinderFrame::FinderFrame(FinderSet &set, Finder finder, EscapeKey escape, QRect resultsPlace)
    : m_set(set)
    , m_finder(finder)
    , m_escape(escape)
    , m_lbResults(new ResultList(this))
    , m_results(new QStringListModel(this))
    , m_picHelp(new QLabel(this))
{
    const Look look = lookOf(finder);
    setObjectName(QLatin1String(look.name));
    setWindowTitle(QLatin1String(look.caption));
    Platform::reportAsAccessibleWindow(staticMetaObject);
    setAccessibleName(QLatin1String(look.caption));
    setAccessibleDescription(QLatin1String(look.description));
    setAttribute(Qt::WA_QuitOnClose, false); // only EndVK ends the course
    if (QWidget *main = m_set.host().mainWindow())
        setWindowIcon(main->windowIcon());
    setFont(classicFont(8.25));
    takeGround();
    setAutoFillBackground(true);
    resize(DesignClientSize);
    Platform::keepInsideWhenRestored(*this);
    Platform::keepStateWhileHidden(*this);

    createButtonBar();

    m_lbResults->setObjectName(QStringLiteral("lbResults"));
    m_lbResults->setGeometry(resultsPlace);
    m_lbResults->setModel(m_results);
    m_lbResults->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lbResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every line is one short text: fixed heights keep 12400 of them cheap.
    m_lbResults->setUniformItemSizes(true);
    connect(m_lbResults, &QListView::doubleClicked, this, [this] { lbResults_DblClick(); });

    m_picHelp->setObjectName(QStringLiteral("picHelp"));
    m_picHelp->setGeometry(HelpPlace);
    m_picHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picHelp->setPixmap(m_set.helpPicture());
    m_picHelp->setAccessibleName(QStringLiteral("Help picture"));
    m_picHelp->setAccessibleDescription(
        QStringLiteral("What each button does and what the symbols in the pages mean; a click or a key hides it."));
    m_picHelp->hide();

    // The window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

FinderFrame::~FinderFrame() = default;

void FinderFrame::createButtonBar()
{
    struct Button
    {
        const char *name;
        const char *caption;
        void (FinderFrame::*click)();
        // What a screen reader says: the caption in words, then what the
        // button does in this window.
        const char *spokenName;
        const char *description;
    };
    // The third place holds Index in the search window, Search elsewhere.
    const Button third =
        m_finder == Finder::Search
            ? Button{"cmdIndex", "&Index", &FinderFrame::cmdIndex_Click, "Index",
                     "Opens the Index window to find the words in alphabetical order."}
            : Button{"cmdSearch", "&Search", &FinderFrame::cmdSearch_Click, "Search",
                     "Opens the Search window to find the pages that have a particular word."};
    const char *historyDescription = m_finder == Finder::History
                                         ? TogglesHelp
                                         : "Opens the History window to go back to each page visited.";
    const Button bar[] = {
        {"cmdCont", "&Contents", &FinderFrame::cmdCont_Click, "Contents",
         "Shows the contents page of the course to select a module."},
        {"cmdPrint", "&Print", &FinderFrame::cmdPrint_Click, "Print",
         "Prints the help picture while it is shown, else the course page."},
        third,
        {"cmdBack", "&Back", &FinderFrame::cmdBack_Click, "Back", LeavesWindow},
        {"cmdPrev", "&<<", &FinderFrame::cmdPrev_Click, "Previous page", LeavesWindow},
        {"cmdNext", "&>>", &FinderFrame::cmdNext_Click, "Next page", LeavesWindow},
        {"cmdHist", "His&tory", &FinderFrame::cmdHist_Click, "History", historyDescription},
        {"cmdCalc", "C&alc", &FinderFrame::cmdCalc_Click, "Calc", "Starts the system calculator."},
        {"cmdHelp", "&Help", &FinderFrame::cmdHelp_Click, "Help", TogglesHelp},
        {"cmdSecn", "Sectio&n", &FinderFrame::cmdSecn_Click, "Section", TogglesHelp},
    };
    const QFont font = classicFont(8.25, true);
    int left = 3;
    for (const Button &entry : bar) {
        auto *button = new QPushButton(QLatin1String(entry.caption), this);
        button->setObjectName(QLatin1String(entry.name));
        button->setGeometry(QRect(QPoint(left, ButtonTop), ButtonSize));
        button->setFont(font);
        button->setAccessibleName(QLatin1String(entry.spokenName));
        button->setAccessibleDescription(QLatin1String(entry.description));
        // No finder window has a default button, and a focused button does
        // not take Enter either: Enter is the window's (the choice of the
        // selected entry, or the search), so the bar answers Space.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, entry.click);
        m_bar << button;
        left += 66;
    }
}

QLineEdit *FinderFrame::addEntryBox()
{
    auto *box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("txtInput"));
    box->setGeometry(EntryBoxPlace);
    box->setFont(classicFont(9.75));
    return box;
}

QLabel *FinderFrame::addLabel(const char *name, const QString &caption, QRect place)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    return label;
}

void FinderFrame::orderControls(std::initializer_list<QWidget *> ownControls)
{
    QList<QWidget *> chain(ownControls);
    chain += QList<QWidget *>(m_bar.cbegin(), m_bar.cend());
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
    // The first control has the focus when the window first shows.
    chain.constFirst()->setFocus();
    // The help picture covers the controls; it must stay on top of them.
    m_picHelp->raise();
}

void FinderFrame::setResults(const QStringList &entries)
{
    m_results->setStringList(entries);
}

QString FinderFrame::resultText(qsizetype row) const
{
    return m_results->stringList().value(row);
}

QStringList FinderFrame::resultTexts() const
{
    return m_results->stringList();
}

qsizetype FinderFrame::selectedRow() const
{
    const QModelIndexList selected = m_lbResults->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void FinderFrame::Show()
{
    show();
    activateWindow();
    // As activating the window does; the window system may be slow to
    // report it, or not report it at all when nothing manages the windows.
    Form_Activate();
}

void FinderFrame::Form_Activate()
{
    m_set.hideAllBut(*this);
}

quint64 FinderFrame::takeTurn(const QString &command)
{
    Navigation::CommandTurns *turns = m_set.turns();
    return turns ? turns->take(command, objectName()) : 0;
}

bool FinderFrame::PassPlacement(QWidget &target, quint64 turn)
{
    target.setWindowState((target.windowState() & ~PlacementStates) | (windowState() & PlacementStates));
    Navigation::CommandTurns *turns = m_set.turns();
    if (turns && turn != 0) {
        if (!turns->waitSecond(m_set.clock(), turn, "the placement's next step"))
            return false;
    } else {
        m_set.clock().waitSecond();
    }
    // The learner may have maximised or restored this window meanwhile.
    target.setWindowState((target.windowState() & ~PlacementStates) | (windowState() & PlacementStates));
    if (isNormal(target.windowState()))
        Platform::takePlaceOf(target, *this);
    return true;
}

void FinderFrame::OpenInMain(const QString &pageName)
{
    const quint64 turn = takeTurn(QStringLiteral("open ") + pageName);
    if (QWidget *main = m_set.host().mainWindow(); main && !PassPlacement(*main, turn))
        return;
    m_set.host().web1Navigate(m_set.host().fileLocn() + pageName);
    hide();
}

void FinderFrame::switchTo(Finder target, const char *command)
{
    const quint64 turn = takeTurn(QLatin1String(command));
    hideHelp();
    if (QWidget *main = m_set.host().mainWindow(); main && !PassPlacement(*main, turn))
        return;
    if (!PassPlacement(m_set.window(target), turn))
        return;
    m_set.host().web1Navigate(m_set.host().fileLocn() + FinderSet::triggerPage(target));
}

void FinderFrame::cmdCont_Click()
{
    const quint64 turn = takeTurn(QStringLiteral("Contents"));
    hideHelp();
    if (QWidget *main = m_set.host().mainWindow(); main && !PassPlacement(*main, turn))
        return;
    m_set.host().web1Navigate(m_set.host().fileLocn() + Navigation::contentsPageName(m_set.host().screenSize()));
}

void FinderFrame::cmdPrint_Click()
{
    if (isHelpVisible())
        m_set.host().printHelpImage(this);
    else
        m_set.host().printListing(this, printout());
}

void FinderFrame::cmdIndex_Click()
{
    switchTo(Finder::Index, "Index");
}

void FinderFrame::cmdSearch_Click()
{
    switchTo(Finder::Search, "Search");
}

// Back, << and >> all leave the finder window for the page shown before
// its trigger page: there is no course page here to turn.
void FinderFrame::cmdBack_Click()
{
    goBackFor("Back");
}

void FinderFrame::cmdPrev_Click()
{
    goBackFor("<<");
}

void FinderFrame::cmdNext_Click()
{
    goBackFor(">>");
}

void FinderFrame::goBackFor(const char *command)
{
    takeTurn(QLatin1String(command));
    hideHelp();
    // The course window comes back in this window's place and state, as
    // after any other command here; there is no pause to wait out, so it
    // takes them at once.
    if (QWidget *main = m_set.host().mainWindow()) {
        main->setWindowState((main->windowState() & ~PlacementStates) | (windowState() & PlacementStates));
        if (isNormal(main->windowState()))
            Platform::takePlaceOf(*main, *this);
    }
    // The page before may be another finder window's trigger page: that
    // window then comes in this one's place and state as well.
    m_set.handPlacementOver(*this);
    m_set.host().web1GoBack();
}

void FinderFrame::cmdHist_Click()
{
    if (m_finder == Finder::History)
        toggleHelp();
    else
        switchTo(Finder::History, "History");
}

void FinderFrame::cmdCalc_Click()
{
    hideHelp();
    m_set.host().startCalculator();
}

void FinderFrame::cmdHelp_Click()
{
    toggleHelp();
}

void FinderFrame::cmdSecn_Click()
{
    toggleHelp();
}

void FinderFrame::picHelp_Click()
{
    hideHelp();
}

bool FinderFrame::isHelpVisible() const
{
    return m_picHelp->isVisibleTo(this);
}

void FinderFrame::toggleHelp()
{
    m_picHelp->setVisible(!isHelpVisible());
}

void FinderFrame::hideHelp()
{
    m_picHelp->hide();
}

void FinderFrame::Form_Resize()
{
    if (isNormal(windowState()) && frameGeometry().left() < 0)
        move(RescuedPosition);
    if (windowState() & Qt::WindowMinimized)
        return; // no inner area to fit: the controls stay as they are
    const auto innerWidth = static_cast<float>(width());
    const auto innerHeight = static_cast<float>(height());
    m_lbResults->resize(scaled(innerWidth, 0.95f), scaled(innerHeight, 0.8f));
    fitOwnControls(innerWidth);
}

bool FinderFrame::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    // The search window's cancel button takes Esc before the window does.
    if (key == Qt::Key_Escape && m_escape == EscapeKey::PressesHelp) {
        cmdHelp_Click();
        return true;
    }
    hideHelp();
    if (modifiers & Qt::AltModifier) {
        // With Shift held, comma and full stop arrive as "<" and ">".
        switch (key) {
        case Qt::Key_Q:
            m_set.host().askQuit(this);
            return true;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            cmdPrev_Click();
            return true;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            cmdNext_Click();
            return true;
        default:
            break;
        }
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return enterKey(focusWidget());
    if (m_set.host().programKey(key, modifiers))
        return true;
    return key == Qt::Key_Escape;
}

bool FinderFrame::enterKey(QWidget *focus)
{
    Q_UNUSED(focus)
    lbResults_DblClick();
    return false;
}

void FinderFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FinderFrame::takeGround()
{
    // The classic grey belongs to a light palette; a dark or high-contrast
    // one (the learner's look) brings its own ground for the window. Only
    // the ground is the window's own; every other colour follows the
    // application's.
    const QPalette application = QApplication::palette(this);
    const bool light = Platform::isLightPalette(application);
    QPalette ground = palette();
    ground.setColor(QPalette::Window, light ? QColor(192, 192, 192) : application.color(QPalette::Window));
    setPalette(ground);
}

void FinderFrame::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    // A late report for a window that has been hidden since is no reason
    // to take the others down: two windows would take turns for ever.
    else if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        Form_Activate();
}

void FinderFrame::closeEvent(QCloseEvent *event)
{
    // Form_QueryUnload: the window itself never closes. After No nothing
    // changes; after Yes the program has ended inside the question.
    event->ignore();
    m_set.host().askQuit(this);
}

bool FinderFrame::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    switch (event->type()) {
    case QEvent::ApplicationPaletteChange:
        // Before the window takes the new palette, which never reaches
        // changeEvent().
        if (watched == this)
            takeGround();
        return false;
    case QEvent::ShortcutOverride: {
        // Every key press announces itself here first, at the control it
        // starts in, and then at that control's parents. Before an access
        // key fires, any key hides the help picture, except the Esc that is
        // about to toggle it.
        if (!(m_keyStart && widget->isAncestorOf(m_keyStart))) {
            m_keyStart = widget;
            m_keyDone = false;
        }
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (!(key == Qt::Key_Escape && m_escape == EscapeKey::PressesHelp))
            hideHelp();
        return false;
    }
    case QEvent::KeyPress: {
        // A key the focused control ignores travels on to its parents, and
        // the window may have lost its focus on the way (a choice hides
        // it): handle the key once, where it started.
        if (m_keyDone)
            return false;
        const QWidget *focus = focusWidget();
        const QWidget *start = m_keyStart ? m_keyStart : focus ? focus : this;
        if (widget != start)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool swallowed = Form_KeyDown(key->key(), key->modifiers());
        // Keys pressed during the handling's waits have come and gone.
        m_keyStart = nullptr;
        m_keyDone = true;
        return swallowed;
    }
    case QEvent::KeyRelease:
        m_keyStart = nullptr;
        m_keyDone = false;
        return false;
    case QEvent::MouseButtonPress:
        if (watched == m_picHelp)
            picHelp_Click();
        return false;
    default:
        return false;
    }
}

} // namespace Tamberlyn::Finders

#include "platform/qt/messageboxdialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Tamberlyn::Platform;
using namespace Qt::StringLiterals;

class TestMessageBox final : public QObject
{
    Q_OBJECT

private slots:
    void questionSitsAtItsOffset_data();
    void questionSitsAtItsOffset();
};

void TestMessageBox::questionSitsAtItsOffset_data()
{
    QTest::addColumn<QPoint>("ownerAt");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("nested");

    QTest::newRow("main window's question") << QPoint(300, 200) << QPoint(100, 80) << false;
    QTest::newRow("companion window's question") << QPoint(900, 0) << QPoint(-150, 80) << false;
    QTest::newRow("pulled back on the screen") << QPoint(20, 0) << QPoint(-150, 80) << false;
    QTest::newRow("a second question while one is open") << QPoint(300, 200) << QPoint(100, 80) << true;
}

void TestMessageBox::questionSitsAtItsOffset()
{
    QFETCH(QPoint, ownerAt);
    QFETCH(QPoint, offset);
    QFETCH(bool, nested);

    QWidget owner;
    owner.setGeometry(QRect(ownerAt, QSize(178, 65)));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QRect screen = owner.screen()->availableGeometry();
    const auto expectedAt = [&](QSize boxSize) {
        const QPoint wanted = owner.frameGeometry().topLeft() + offset;
        return QPoint(qBound(screen.left(), wanted.x(), screen.right() + 1 - boxSize.width()),
                      qBound(screen.top(), wanted.y(), screen.bottom() + 1 - boxSize.height()));
    };

    MessageBoxDialogs dialogs;
    QList<QPoint> seen;
    QList<QPoint> expected;
    // Looks at the box once it is up, then answers No.
    std::function<void()> inspect = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->frameGeometry().topLeft() != expectedAt(box->frameGeometry().size())) {
            if (seen.size() < 100) {
                QTimer::singleShot(20, inspect);
                seen << QPoint(-1, -1);
                return;
            }
        }
        if (box) {
            expected << expectedAt(box->frameGeometry().size());
            seen << box->frameGeometry().topLeft();
            if (nested && expected.size() == 1) {
                // Ask again from inside the first question.
                QTimer::singleShot(20, inspect);
                dialogs.ask(&owner, {u"Second?"_s, u"Tamberlyn"_s, Dialogs::Icon::Question, Dialogs::Buttons::YesNo,
                                     offset});
            }
            box->button(QMessageBox::No)->click();
        }
    };
    QTimer::singleShot(20, inspect);
    const Dialogs::Answer answer = dialogs.ask(
        &owner, {u"Do you want to quit?"_s, u"Quit Tamberlyn?"_s, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, offset});
    QCOMPARE(answer, Dialogs::Answer::No);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(seen.last(), expected.last());
    QCOMPARE(expected.size(), nested ? 2 : 1);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"

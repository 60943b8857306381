#include "common/Placement.h"

#include <QTest>
#include <QWidget>

Q_DECLARE_METATYPE(Centring)

// Where windows open over their owner.
class tst_Placement final : public QObject {
    Q_OBJECT

private slots:
    void framePosition_data() {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("over");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("corner");

        const QSize fueling(546, 538);
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("centred on the owner") << fueling << screen << screen << QPoint(367, 131);
        QTest::newRow("owner low on the screen: kept above its bottom")
            << fueling << QRect(370, 300, 1080, 700) << screen << QPoint(637, 262);
        QTest::newRow("owner off to the right: kept inside both edges")
            << fueling << QRect(900, 100, 500, 300) << screen << QPoint(734, 0);
        QTest::newRow("larger than the screen: its corner on the screen")
            << QSize(1400, 900) << screen << screen << QPoint(0, 0);
        QTest::newRow("a panel at the top")
            << fueling << QRect(0, 30, 1280, 770) << QRect(0, 30, 1280, 770) << QPoint(367, 146);
        QTest::newRow("the screen beside the first")
            << fueling << QRect(1280, 0, 1280, 800) << QRect(1280, 0, 1280, 800) << QPoint(1647, 131);
    }

    void framePosition() {
        QFETCH(QSize, frame);
        QFETCH(QRect, over);
        QFETCH(QRect, available);
        QFETCH(QPoint, corner);
        QCOMPARE(centredFramePosition(QRect(QPoint(5, 5), frame), over, available), corner);
    }

    void showingsOverTheOwner_data() {
        QTest::addColumn<Centring>("when");
        QTest::addColumn<bool>("frameless");
        QTest::newRow("every showing") << Centring::EveryShowing << false;
        QTest::newRow("every showing, no frame") << Centring::EveryShowing << true;
        QTest::newRow("the first showing") << Centring::FirstShowing << false;
    }

    void showingsOverTheOwner() {
        QFETCH(Centring, when);
        QFETCH(bool, frameless);
        QWidget owner;
        owner.setGeometry(60, 50, 600, 500);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QWidget window(&owner, frameless ? Qt::Window | Qt::FramelessWindowHint : Qt::Window);
        window.resize(300, 200);
        centreOnShow(window, when);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.frameGeometry().center(), owner.frameGeometry().center());

        // The user moves both; the next showing is centred again, or stays where the user left it.
        window.move(window.pos() + QPoint(30, 20));
        const QPoint moved = window.pos();
        owner.move(owner.pos() + QPoint(40, 30));
        window.hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (when == Centring::EveryShowing)
            QCOMPARE(window.frameGeometry().center(), owner.frameGeometry().center());
        else
            QCOMPARE(window.pos(), moved);
    }
};

QTEST_MAIN(tst_Placement)
#include "tst_Placement.moc"

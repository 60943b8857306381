#include "app/UntProcessando.h"

#include <QLabel>
#include <QTest>

class tst_UntProcessando final : public QObject {
    Q_OBJECT

private slots:
    void showsAguardeCentredOverTheMainWindowUntilClosed() {
        QWidget mainWindow;
        // Wholly on the screen, so centring needs no keeping inside it.
        mainWindow.setGeometry(100, 80, 640, 600);
        mainWindow.show();
        TfrmProcessando wait(&mainWindow);
        QCOMPARE(wait.findChild<QLabel*>("Label1")->text(), QString("Aguarde..."));
        QVERIFY(wait.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(wait.size(), QSize(524, 241));
        QVERIFY(wait.isHidden());

        wait.showWait();
        QVERIFY(wait.isVisible());
        QCOMPARE(wait.frameGeometry().center(), mainWindow.frameGeometry().center());

        wait.closeWait();
        QVERIFY(wait.isHidden());
    }

    void drawnBeforeTheWorkStarts() {
        TfrmProcessando wait;
        bool posted = false;
        QMetaObject::invokeMethod(
            &wait, [&] { posted = true; }, Qt::QueuedConnection);
        wait.showWait();
        QVERIFY(posted);
        wait.closeWait();
    }
};

QTEST_MAIN(tst_UntProcessando)
#include "tst_UntProcessando.moc"

#include "common/WaitSign.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// The sign of a long wait for the database: what it reads, its "Cancelar", and whose input it takes.
class tst_WaitSign final : public QObject {
    Q_OBJECT

private slots:
    void cancelsOnceAndTakesOnlyItsOwnInput_data() {
        QTest::addColumn<QStringList>("acts");
        QTest::newRow("a click on Cancelar") << QStringList{"click"};
        QTest::newRow("Esc") << QStringList{"Esc"};
        QTest::newRow("Esc, then a click and Esc again") << QStringList{"Esc", "click", "Esc"};
    }

    void cancelsOnceAndTakesOnlyItsOwnInput() {
        QFETCH(QStringList, acts);
        QWidget window;
        window.setGeometry(100, 80, 640, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        WaitSign sign(&window);
        auto* lbEspera = sign.findChild<QLabel*>("lbEspera");
        auto* btCancelar = sign.findChild<QPushButton*>("btCancelar");
        int cancels = 0;
        const std::function<void()> cancel = [&] { ++cancels; };
        for (int seconds : {3, 4})
            sign.waitGoesOn(seconds, cancel);
        QCOMPARE(lbEspera->text(), QString("Aguardando o banco de dados... 4 s"));
        QCOMPARE(sign.frameGeometry().center(), window.frameGeometry().center());
        QTRY_COMPARE(QApplication::activeWindow(), &sign);
        QVERIFY(sign.takesInput(btCancelar) && sign.takesInput(sign.windowHandle()));
        QVERIFY(!sign.takesInput(&window) && !sign.takesInput(window.windowHandle()));

        for (const QString& act : acts) {
            if (act == "Esc")
                QTest::keyClick(sign.windowHandle(), Qt::Key_Escape);
            else
                QTest::mouseClick(sign.windowHandle(), Qt::LeftButton, {}, btCancelar->geometry().center());
        }
        sign.waitGoesOn(5, cancel);
        QCOMPARE(cancels, 1);
        QCOMPARE(lbEspera->text(), QString("Cancelando..."));
        QVERIFY(!btCancelar->isEnabled());

        sign.waitEnds();
        QVERIFY(sign.isHidden());
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        sign.waitGoesOn(3, cancel);
        QVERIFY(btCancelar->isEnabled() && lbEspera->text().endsWith("... 3 s"));
    }
};

QTEST_MAIN(tst_WaitSign)
#include "tst_WaitSign.moc"

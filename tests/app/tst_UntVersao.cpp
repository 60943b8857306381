#include "app/UntVersao.h"

#include "Doubles.h"
#include "ScriptedMessages.h"

#include "common/Clock.h"
#include "common/Shell.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>

namespace {} // namespace

class tst_UntVersao final : public QObject {
    Q_OBJECT

private:
    ScriptedMessages messages;
    SystemClock clock;
    RecordingShell shell{false};

private slots:
    void init() {
        messages.clear();
        shell.opened.clear();
    }

    void showsProductVersionAndContacts() {
        TfrmVersao about(Services{messages, clock, shell});
        QCOMPARE(about.findChild<QLabel*>("Label1")->text(), QString("KORVA"));
        QCOMPARE(about.findChild<QLabel*>("lbVersao")->text(), QString::fromUtf8("Verão 1.6"));
        QCOMPARE(about.versionText(), QString::fromUtf8("Verão 1.6"));
        QVERIFY(about.findChild<QLabel*>("Label3")->text().startsWith("Contato"));
        QVERIFY(about.findChild<QLabel*>("Label4")->text().startsWith("email:"));
        QVERIFY(about.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(about.size(), QSize(438, 322));
        QVERIFY(about.isHidden());
    }

    void clickOnAddressOrEmailOpensTheSite_data() {
        QTest::addColumn<QString>("label");
        QTest::newRow("web address") << "Label2";
        QTest::newRow("e-mail") << "Label4";
    }

    void clickOnAddressOrEmailOpensTheSite() {
        QFETCH(QString, label);
        TfrmVersao about(Services{messages, clock, shell});
        about.show();

        QTest::mouseClick(about.findChild<QLabel*>(label), Qt::LeftButton);

        QCOMPARE(shell.opened, QList<QUrl>{QUrl("http://www.korva.example")});
        QVERIFY(about.findChild<QLabel*>("Label2")->text().contains("korva.example"));
        QVERIFY(about.isVisible());
        QCOMPARE(messages.count(), 0);
    }

    void otherLabelsOpenNothing() {
        TfrmVersao about(Services{messages, clock, shell});
        about.show();
        QTest::mouseClick(about.findChild<QLabel*>("Label3"), Qt::LeftButton);
        QTest::mouseClick(about.findChild<QLabel*>("lbVersao"), Qt::LeftButton);
        QVERIFY(shell.opened.isEmpty());
    }

    void speedButtonHidesTheWindow() {
        TfrmVersao about(Services{messages, clock, shell});
        about.show();
        QTest::mouseClick(about.findChild<QToolButton*>("SpeedButton1"), Qt::LeftButton);
        QVERIFY(about.isHidden());
        QVERIFY(shell.opened.isEmpty());
    }
};

QTEST_MAIN(tst_UntVersao)
#include "tst_UntVersao.moc"

// Stores fuelings one after another through the real fueling window, typed as the attendant types them, so
// that tools/kill-saves.sh can kill it at any moment and hold the database to what the attendant was told.
// Around each "Confirma" a journal gets "try <km>" before the press and "ok <km>" once the success box is
// up, or "fail <km> <text>" for any other box; each line is on the disk before the loop goes on.
//
// Usage: korva_save_loop DATABASE JOURNAL FIRST_KM LAST_KM
// The database holds the rows tools/kill-saves.sh writes: station 1, vehicle ABC1234, driver 1001.
// Exits 0 once LAST_KM is confirmed, 1 after a failure box (journalled), 2 when it cannot run at all.

#include "Doubles.h"
#include "ScriptedMessages.h"
#include "common/GuessLimiter.h"
#include "common/Services.h"
#include "common/Station.h"
#include "common/WaitIndicator.h"
#include "db/ConnectionSettings.h"
#include "db/UntConexao.h"
#include "fueling/UntLancamento.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace {
const QString success = QStringLiteral("Dados Gravados Com Sucesso!");
// As the login leaves it for the station of the rows tools/kill-saves.sh writes.
const Station station{QStringLiteral("12345678000195"), 1};
const QString plate = QStringLiteral("ABC1234");
const QStringList afterLookup = {QStringLiteral("40"), QStringLiteral("200")}; // litres, amount
const QStringList driver = {QStringLiteral("1001"), QStringLiteral("1234")};   // registration, PIN

// A fueling a minute after the one before, reading by reading: the window takes the previous reading
// from the latest fueling, whichever run stored it.
QDateTime momentOf(qint64 km) {
    return QDateTime(QDate(2024, 1, 1), QTime(8, 0)).addSecs(km * 60);
}

class Journal final {
    Q_DISABLE_COPY_MOVE(Journal)

public:
    explicit Journal(const QString& path)
        : fd(::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644)) {
        if (fd < 0)
            throw std::runtime_error("cannot open the journal " + path.toStdString());
    }
    ~Journal() { ::close(fd); }

    // One write a line, so that a kill leaves a line whole or absent.
    void line(const QString& text) {
        const QByteArray bytes = text.simplified().toUtf8() + '\n';
        if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() || ::fsync(fd) != 0)
            throw std::runtime_error("cannot write the journal");
    }

private:
    int fd;
};

// The wait window's part without a window: the pending events are processed once.
class EventsOnlyWait final : public WaitIndicator {
public:
    void showWait() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    void closeWait() override {}
};

QWidget& focused() {
    QWidget* widget = QApplication::focusWidget();
    if (!widget)
        throw std::runtime_error("no control has the focus");
    return *widget;
}

void press(Qt::Key key) {
    QTest::keyClick(&focused(), key);
}

void enter(const QString& text) {
    QTest::keyClicks(&focused(), text);
    press(Qt::Key_Return);
}

qint64 number(const char* text) {
    bool ok = false;
    const qint64 value = QByteArray(text).toLongLong(&ok);
    if (!ok || value < 1)
        throw std::invalid_argument(std::string("not an odometer reading: ") + text);
    return value;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: korva_save_loop DATABASE JOURNAL FIRST_KM LAST_KM\n");
        return 2;
    }
    try {
        const qint64 first = number(argv[3]);
        const qint64 last = number(argv[4]);
        Journal journal(QString::fromLocal8Bit(argv[2]));
        TdmConexao connection(ConnectionSettings::sqliteFile(QString::fromLocal8Bit(argv[1])));
        connection.open();

        ScriptedMessages messages;
        FixedClock clock;
        RecordingShell shell;
        EventsOnlyWait wait;
        GuessLimiter pinGuesses;
        TfrmLancamento window(connection, station, Services{messages, clock, shell}, wait, pinGuesses);

        qint64 km = 0;
        bool confirmed = false;
        bool failed = false;
        // Questions are answered Yes, as the double does unscripted; every box with only OK is journalled.
        messages.onShow([&](const ScriptedMessages::Box& box) {
            if (box.buttons != Messages::Buttons::Ok)
                return;
            confirmed = box.text == success;
            failed = !confirmed;
            journal.line(confirmed ? QStringLiteral("ok %1").arg(km)
                                   : QStringLiteral("fail %1 %2 %3").arg(km).arg(box.text, box.detail));
        });

        for (km = first; km <= last; ++km) {
            // The main window's button shows the window anew for each fueling.
            window.hide();
            window.show();
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window))
                throw std::runtime_error("the fueling window did not become active");
            clock.moment = momentOf(km);
            confirmed = false;
            enter(plate);
            press(Qt::Key_Return); // the search button
            for (const QString& value : afterLookup + QStringList{QString::number(km)} + driver)
                enter(value);
            if (failed)
                return 1;
            if (focused().objectName() != QLatin1String("BitBtn1"))
                throw std::runtime_error("Confirma did not get the focus: " +
                                         focused().objectName().toStdString());
            journal.line(QStringLiteral("try %1").arg(km));
            press(Qt::Key_Return);
            // However the save is carried out, the attendant waits for its box.
            if (!QTest::qWaitFor([&] { return confirmed || failed; }, 30000))
                journal.line(QStringLiteral("fail %1 no box within 30 s").arg(km));
            if (!confirmed)
                return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korva_save_loop: %s\n", error.what());
        return 2;
    }
}

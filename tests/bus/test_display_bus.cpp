// The displays on a line without a window: TDisplayBus against the simulated
// bus, with a silent address, slow displays and a file that differs.
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <regex>
#include <set>

#include "bus/DisplayBus.h"
#include "config/ConfigFile.h"
#include "link/Traffic.h"
#include "session/DisplayLine.h"
#include "session/DisplaySession.h"
#include "support/SimProcess.h"
#include "support/TempFolder.h"

namespace {

using testsupport::SimProcess;
using testsupport::TTempFolder;

struct Rig {
    Rig(const QStringList& simArgs, int timeoutMs) : sim(DADIZ_SIM_PATH, simArgs)
    {
        resetToDefaults(window);
        bus.setLineSource([this] { return window; }, sim.device);
        bus.setReplyTimeout(timeoutMs);
        QObject::connect(&bus, &TDisplayBus::notice, &bus, [this](const TWords& w) { notices.push_back(w.pick(TLanguage::English)); });
        QObject::connect(&bus.line().link(), &TDisplayLink::traffic, &bus, [this](const TTrafficRecord& r) {
            if (r.direction == TTrafficDirection::Sent)
                sent.emplace_back(r.bytes.begin(), r.bytes.end());
        });
    }
    std::vector<int> addresses() const
    {
        std::vector<int> out;
        for (const auto& r : bus.rows())
            out.push_back(r->address);
        return out;
    }
    bool said(const std::string& part) const
    {
        return std::ranges::any_of(notices, [&](const std::string& n) { return n.find(part) != std::string::npos; });
    }
    bool everyRow(const std::function<bool(const TBusRow&)>& test) const
    {
        return !bus.rows().empty() && std::ranges::all_of(bus.rows(), [&](const auto& r) { return test(*r); });
    }

    SimProcess sim;
    TDisplayConfig window;
    TDisplayBus bus;
    std::vector<std::string> notices;
    std::vector<std::string> sent;
};

bool waitFor(const std::function<bool()>& done, int ms = 30000)
{
    return QTest::qWaitFor(done, ms);
}

} // namespace

class TestDisplayBus : public QObject {
    Q_OBJECT
private slots:
    // One run over the whole life of a commissioning: the scan finds the
    // displays that answer, reads them in turn, compares them with a folder,
    // writes the folder, sends a file that differs and reads it back.
    void scanReadCompareSendAndExport()
    {
        Rig rig({"--bus", "1,2,5,7", "--silent-address", "5"}, 300);
        QVERIFY(rig.sim.ok());
        QSignalSpy progress(&rig.bus, &TDisplayBus::scanProgress);
        QVERIFY(rig.bus.scan(0, 8));
        QVERIFY(rig.bus.holdsLine());
        QVERIFY(waitFor([&] { return !rig.bus.scanning(); }));
        QCOMPARE(progress.last().at(0).toInt(), 9);
        QCOMPARE(rig.addresses(), (std::vector<int>{1, 2, 7}));
        QVERIFY(rig.said("3 displays found"));

        // Described with 'P', then read in turn, one request on the line at a time.
        QVERIFY(waitFor([&] { return rig.everyRow([](const TBusRow& r) { return r.paramsComplete; }); }));
        const std::size_t from = rig.sent.size();
        QVERIFY(waitFor([&] { return rig.sent.size() >= from + 9; }));
        std::vector<std::string> order;
        for (std::size_t i = from; i < from + 9; ++i) {
            QCOMPARE(rig.sent[i].substr(3, 1), std::string("L"));
            order.push_back(rig.sent[i].substr(1, 2));
        }
        for (std::size_t i = 3; i < order.size(); ++i)
            QCOMPARE(order[i], order[i - 3]);
        QVERIFY(std::set<std::string>(order.begin(), order.begin() + 3) == (std::set<std::string>{"01", "02", "07"}));
        QVERIFY(rig.everyRow([](const TBusRow& r) { return r.value && r.relays && r.reading.missedInRow == 0; }));

        // A folder: nothing in it yet; then every display received into it.
        TTempFolder folder("dadiz-bus");
        rig.bus.setFolder(folder.path());
        QVERIFY(rig.everyRow([&](const TBusRow& r) { return rig.bus.fileState(r) == TFileState::NoFile; }));
        QVERIFY(rig.bus.receiveIntoFolder({1, 2, 7}));
        QVERIFY(waitFor([&] { return !rig.bus.commandsRunning(); }));
        QVERIFY(rig.everyRow([](const TBusRow& r) { return r.task == TRowTask::Received; }));
        QVERIFY(rig.everyRow([&](const TBusRow& r) { return rig.bus.fileState(r) == TFileState::Matches; }));

        // A file edited by hand differs, in plain words; a file removed is missing.
        TDisplayConfig two;
        QVERIFY(loadConfigFile(rig.bus.folderFile(2), two).ok);
        two.DecimalPoint = 3;
        two.Relay1Enabled = 1;
        two.Relay1DelayType = '1';
        two.Relay1Setpoint = 1234;
        QVERIFY(saveConfigFile(rig.bus.folderFile(2), two).ok);
        std::filesystem::remove(rig.bus.folderFile(7));
        rig.bus.reloadFolder();
        QCOMPARE(rig.bus.fileState(*rig.bus.row(1)), TFileState::Matches);
        QCOMPARE(rig.bus.fileState(*rig.bus.row(2)), TFileState::Differs);
        QCOMPARE(rig.bus.fileState(*rig.bus.row(7)), TFileState::NoFile);
        const std::string words = differencesText(rig.bus.differences(*rig.bus.row(2), TLanguage::English), TLanguage::English);
        QVERIFY2(words.find("Decimal point place: file 0,000, display 0,0") != std::string::npos, words.c_str());
        QVERIFY2(words.find("Relay 1") != std::string::npos, words.c_str());

        // Sent and read back: the display now holds its file; no file, nothing sent.
        QVERIFY(rig.bus.sendFiles({2, 7}));
        QVERIFY(rig.said("there is no " + rig.bus.folderFile(7)));
        QVERIFY(waitFor([&] { return !rig.bus.commandsRunning(); }));
        QCOMPARE(rig.bus.row(2)->task, TRowTask::Verified);
        QCOMPARE(rig.bus.fileState(*rig.bus.row(2)), TFileState::Matches);
        QVERIFY(std::ranges::none_of(rig.sent, [](const std::string& f) { return f.starts_with("@07E"); }));

        // The window's configuration to another display, read back too.
        TDisplayConfig mine = rig.window;
        mine.DecimalPoint = 2;
        QVERIFY(rig.bus.sendConfiguration({7}, mine));
        QVERIFY(waitFor([&] { return !rig.bus.commandsRunning(); }));
        QCOMPARE(rig.bus.row(7)->task, TRowTask::Verified);
        QCOMPARE(rig.bus.row(7)->config->DecimalPoint, 2);

        // The table as CSV: a header, a row a display, '.' decimals.
        const std::string csv = busCsv(rig.bus.csvRows(TLanguage::English), TLanguage::English);
        QVERIFY(csv.starts_with("Address,Value,Relay 1,Relay 2,Reading,"));
        QVERIFY2(std::regex_search(csv, std::regex("\r\n01,-?[0-9]+\\.[0-9],[01],[01],ok,[^\r]*,matches,\r\n")),
            csv.c_str());
        QVERIFY2(std::regex_search(csv, std::regex("\r\n02,[^\r]*,4,3,1\\.234 / 1\\.999,matches,\r\n")), csv.c_str());
        QVERIFY2(csv.find("\r\n07,") != std::string::npos && csv.find("no file") != std::string::npos, csv.c_str());

        // Stopped, the port goes back once the line is quiet.
        rig.bus.stopReading();
        QVERIFY(waitFor([&] { return !rig.bus.holdsLine(); }));
    }

    // Displays slower than the time-out are found, said late, never taken
    // for another's answer.
    void lateDisplaysAreSaidLate()
    {
        Rig rig({"--bus", "1,2", "--delay", "350"}, 150);
        QVERIFY(rig.sim.ok());
        QVERIFY(rig.bus.scan(0, 3));
        QVERIFY(waitFor([&] { return !rig.bus.scanning(); }));
        QVERIFY(waitFor([&] { return rig.addresses() == std::vector<int>{1, 2}; }));
        QVERIFY(rig.said("Address 01 answered after its time-out"));
        QVERIFY(rig.said("Answered after the time-out: 01"));
        QVERIFY(rig.everyRow([](const TBusRow& r) { return r.reading.lateMs >= 0 && !r.value; }));
        rig.bus.stopReading();
    }

    // A line that stops answering: every row stale, then missed with the
    // count; answering again, fresh.
    void silenceMakesRowsStaleThenMissed()
    {
        Rig rig({"--bus", "3,4"}, 150);
        QVERIFY(rig.sim.ok());
        QVERIFY(rig.bus.scan(3, 4));
        QVERIFY(waitFor([&] { return rig.everyRow([](const TBusRow& r) { return r.paramsComplete; }); }));
        ::kill(static_cast<pid_t>(rig.sim.pid()), SIGSTOP);
        QVERIFY(waitFor([&] { return rig.everyRow([](const TBusRow& r) { return readingStale(r.reading); }); }));
        QVERIFY(waitFor([&] { return rig.everyRow([](const TBusRow& r) { return r.reading.missedInRow >= 2; }); }));
        QCOMPARE(readingStateText({true, 2, -1}, TLanguage::English), std::string("missed 2 in a row"));
        ::kill(static_cast<pid_t>(rig.sim.pid()), SIGCONT);
        QVERIFY(waitFor([&] { return rig.everyRow([](const TBusRow& r) { return r.reading.missedInRow == 0; }); }));
        rig.bus.stopReading();
    }

    // The port held by another user: nothing starts, and it says who.
    // A scan cancelled asks nothing more.
    void refusedAndCancelled()
    {
        Rig rig({"--bus", "1", "--silent-address", "1"}, 400);
        QVERIFY(rig.sim.ok());
        rig.bus.setMayRun([](TLanguage language) { return language == TLanguage::English ? std::string("the doctor holds it") : "x"; });
        QVERIFY(!rig.bus.scan(0, 31));
        QVERIFY(rig.said("the doctor holds it"));
        QVERIFY(!rig.bus.holdsLine());
        rig.bus.setMayRun({});
        QSignalSpy ended(&rig.bus, &TDisplayBus::scanEnded);
        QVERIFY(rig.bus.scan(0, 31));
        QVERIFY(waitFor([&] { return rig.sent.size() >= 2; }));
        rig.bus.cancelScan();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().at(0).toBool(), true);
        const std::size_t asked = rig.sent.size();
        QTest::qWait(1000);
        QCOMPARE(rig.sent.size(), asked);
        QVERIFY(waitFor([&] { return !rig.bus.holdsLine(); }));
    }
};

QTEST_GUILESS_MAIN(TestDisplayBus)
#include "test_display_bus.moc"

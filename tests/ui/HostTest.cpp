// The Qt host: worker calls carried to the UI thread, posted notifications, the Control Panel.
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "run/ScriptOutput.h"
#include "run/ui/ControlPanel.h"
#include "run/ui/PictureButton.h"
#include "run/ui/SavingWindow.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptView.h"

using namespace mv;

class HostTest : public QObject {
  Q_OBJECT
 private slots:
  void workerCallsAreDoneOnTheUiThreadInOrder();
  void endAndStateChangesArePosted();
  void panelRefusesToCloseDuringARun_data();
  void panelRefusesToCloseDuringARun();
  void pictureButtonImages();
};

namespace {

struct Fixture {
  QMainWindow window;
  ScriptView* view = new ScriptView;
  QtHost host{*view, &window};
  std::vector<std::string> told;
  bool runActive = false;
  Fixture() {
    window.setCentralWidget(view);
    host.SetPanelFactory([this] {
      ControlPanel::Hooks hooks;
      hooks.runActive = [this] { return runActive; };
      hooks.tell = [this](const std::string& t) { told.push_back(t); };
      return new ControlPanel(hooks, &window);
    });
  }
};

}  // namespace

void HostTest::workerCallsAreDoneOnTheUiThreadInOrder() {
  Fixture f;
  QThread* ui = QThread::currentThread();
  std::vector<std::string> asked;
  bool offUiThread = false;
  f.host.SetMessageFunction([&](const std::string& text, Host::Buttons) {
    offUiThread |= QThread::currentThread() != ui;
    asked.push_back(text);
    return Host::Answer::No;
  });
  QVERIFY(f.host.ShowPanel());
  std::atomic<bool> done{false};
  Host::Answer answer{};
  int second = -2, found = -2, missing = -2;
  std::thread worker([&] {
    f.host.SetTitle("Analyzing Database - Mervale");
    f.host.PanelAddLine("customers");
    second = f.host.PanelAddLine("orders");
    f.host.PanelAddLine("customers");
    found = f.host.PanelFindLine("customers", 0);
    missing = f.host.PanelFindLine("orders", 1);
    f.host.PanelSelect(second);
    f.host.BarRange(Host::kDataBar, 4);
    f.host.BarStep(Host::kDataBar);
    f.host.BarStep(Host::kDataBar);
    f.host.ShowSaving(10);
    for (int i = 0; i < 7; ++i) f.host.SavingStep();
    answer = f.host.Message("Stop?", Host::Buttons::YesNo);
    done = true;
  });
  f.host.WaitWhileProcessing([&] { return done.load(); });
  worker.join();
  QCOMPARE(f.window.windowTitle(), QString("Analyzing Database - Mervale"));
  QCOMPARE(second, 1);
  QCOMPARE(found, 2);
  QCOMPARE(missing, -1);
  QCOMPARE(f.host.Panel()->List()->currentRow(), 1);
  QCOMPARE(f.host.Panel()->Bar(Host::kDataBar)->value(), 2);
  QCOMPARE(answer, Host::Answer::No);
  QCOMPARE(asked, std::vector<std::string>{"Stop?"});
  QVERIFY(!offUiThread);
  // The worker's save is shown once it has lasted a moment, its steps without a call each.
  QTRY_VERIFY(f.host.Saving() && f.host.Saving()->isVisible());
  QCOMPARE(f.host.Saving()->Bar()->value(), 7);
  std::thread([&] { f.host.HideSaving(); }).join();
  QTRY_VERIFY(!f.host.Saving()->isVisible());
  // The same calls from the UI thread are done directly.
  QCOMPARE(f.host.PanelAddLine("lines"), 3);
  f.host.DestroyPanel();
  QCOMPARE(f.host.PanelAddLine("no panel"), -1);
}

void HostTest::endAndStateChangesArePosted() {
  Fixture f;
  QSignalSpy state(&f.host, &QtHost::runStateChanged);
  QSignalSpy ended(&f.host, &QtHost::runEnded);
  QString shownAtEnd;
  connect(&f.host, &QtHost::runEnded, this, [&] { shownAtEnd = f.view->toPlainText(); });
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) f.host.RunStateChanged();
    f.view->Insert("footer", ScriptOutput::colorMessage);
    f.host.RunEnded(RunOutcome::Stopped);
  });
  worker.join();  // neither call waited for the UI thread
  QCOMPARE(ended.count(), 0);
  QTRY_COMPARE(ended.count(), 1);
  QCOMPARE(ended.at(0).at(0).toInt(), static_cast<int>(RunOutcome::Stopped));
  QVERIFY(state.count() >= 1 && state.count() <= 5);
  QCOMPARE(shownAtEnd, QString("footer"));
}

void HostTest::panelRefusesToCloseDuringARun_data() {
  QTest::addColumn<bool>("running");
  QTest::addColumn<bool>("closes");
  QTest::newRow("during a run") << true << false;
  QTest::newRow("after the run") << false << true;
}

void HostTest::panelRefusesToCloseDuringARun() {
  QFETCH(bool, running);
  QFETCH(bool, closes);
  Fixture f;
  f.runActive = running;
  QVERIFY(f.host.ShowPanel());
  f.host.Panel()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(f.host.Panel() == nullptr, closes);
  QCOMPARE(f.told, closes
                       ? std::vector<std::string>{}
                       : std::vector<std::string>{"Please wait until Mervale is finished to close the control panel."});
}

void HostTest::pictureButtonImages() {
  // The button is one image of its strip, and each state shows a different one.
  PictureButton b(":/panel/stop.png", "Stop");
  QCOMPARE(b.size(), QSize(32, 32));
  std::vector<QImage> shown;
  for (int state = 0; state < 3; ++state) {
    b.setDown(state == 1);
    b.setEnabled(state != 2);
    QCOMPARE(b.ImageIndex(), std::vector<int>({0, 1, 3})[state]);
    shown.push_back(b.grab().toImage());
  }
  const QImage strip(":/panel/stop.png");
  QCOMPARE(strip.size(), QSize(128, 32));
  // The middle of the glyph: red when normal, grey when disabled, as the strip has them.
  QCOMPARE(QColor(shown[0].pixel(16, 16)), QColor(strip.pixel(16, 16)));
  QCOMPARE(QColor(shown[2].pixel(16, 16)), QColor(strip.pixel(96 + 16, 16)));
  QVERIFY(shown[0] != shown[1] && shown[1] != shown[2] && shown[0] != shown[2]);
}

QTEST_MAIN(HostTest)
#include "HostTest.moc"

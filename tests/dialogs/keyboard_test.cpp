// Every dialog from the keyboard and on a small screen: mnemonics on its buttons and check
// boxes, focus on its first control, and a minimum size that fits 1600x1000 at 200%.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <functional>
#include <memory>

#include "DialogWorld.h"
#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "db/ui/DataSourceDialog.h"
#include "profiles/Profile.h"
#include "profiles/ui/ProfilesSheet.h"
#include "settings/ui/AdvancedSheet.h"
#include "settings/ui/DataConditionsDialog.h"
#include "settings/ui/OptionDialogs.h"
#include "settings/ui/ParametersDialog.h"
#include "settings/ui/SqlScriptDialog.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

using namespace mv;

namespace {

// Connected to the demo database from the start.
struct World : test::DialogWorld {
  World() { conn = DbConnection::ConnectWithString(host, connectTo, "", "0"); }
};

struct DialogCase {
  const char* name;
  std::function<std::unique_ptr<QDialog>(World&)> make;
  const char* firstFocus;  // the button the dialog opens on, by text or object name; empty: not a button
};

const DialogCase kDialogs[] = {
    {"Mervale Parameters", [](World& w) { return std::make_unique<ui::ParametersDialog>(w.ctx); }, "database"},
    {"Sql Script", [](World& w) { return std::make_unique<ui::SqlScriptDialog>(w.ctx); }, "database"},
    {"Advanced Structure Options",
     [](World& w) {
       return std::make_unique<ui::AdvancedSheet>(
           *w.conn, [&w] { w.conn->LoadTables(); }, w.opts, w.working, w.settings, w.host);
     },
     ""},
    {"Data Conditions",
     [](World& w) {
       return std::make_unique<ui::DataConditionsDialog>(
           *w.conn, [&w] { w.conn->LoadTables(); }, w.opts, w.host);
     },
     ""},
    {"General Options",
     [](World& w) { return std::make_unique<ui::GeneralOptionsDialog>(GeneralValuesFrom(w.opts), w.host); }, ""},
    {"Advanced Data Options", [](World&) { return std::make_unique<ui::DataOptionsDialog>(DataOptionValues{}); }, ""},
    {"Advanced Index Options", [](World&) { return std::make_unique<ui::IndexOptionsDialog>(IndexOptionValues{}); },
     ""},
    {"Profile Setup",
     [](World& w) {
       return std::make_unique<ui::ProfilesSheet>(w.profiles, w.opts.s_WorkingProfile, w.working, w.settings,
                                                  w.dir.path, w.host);
     },
     ""},
    {"Select Data Source", [](World&) { return std::make_unique<ui::DataSourceDialog>("", nullptr); },
     "Open SQLite database file..."},
};

QString Plain(QString text) { return text.remove('&'); }

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT
 private slots:
  void everyDialogHasMnemonicsAndOpensOnItsFirstControl();
  void everyDialogFitsAScaledScreen();
};

void KeyboardTest::everyDialogHasMnemonicsAndOpensOnItsFirstControl() {
  for (const DialogCase& c : kDialogs) {
    World w;
    std::unique_ptr<QDialog> d = c.make(w);
    QCOMPARE(d->windowTitle(), QString(c.name));
    // Every push button and check box with a letter in it has a mnemonic, none used twice.
    QSet<QChar> used;
    for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) {
      // The database button's text is the connection's title, not a label.
      if (qobject_cast<QRadioButton*>(b) || !b->isVisibleTo(d.get()) || b->objectName() == "database") continue;
      const QString text = b->text();
      if (!text.contains(QRegularExpression("[A-Za-z]"))) continue;
      const qsizetype at = text.indexOf('&');
      QVERIFY2(at >= 0 && at + 1 < text.size(), qPrintable(QString(c.name) + ": " + text));
      const QChar key = text[at + 1].toLower();
      QVERIFY2(!used.contains(key), qPrintable(QString(c.name) + ": " + text + " repeats a mnemonic"));
      used.insert(key);
    }
    if (*c.firstFocus) {
      d->show();
      QVERIFY(QTest::qWaitForWindowActive(d.get()));
      auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
      QVERIFY2(focused && (Plain(focused->text()) == c.firstFocus || focused->objectName() == c.firstFocus),
               qPrintable(QString(c.name) + " opens on " + (focused ? focused->text() : QString("no button"))));
      d->hide();
    }
  }
}

void KeyboardTest::everyDialogFitsAScaledScreen() {
  // A 1600x1000 screen at 200%, less a title bar and a panel: what the window manager can
  // show whole.
  const QSize screen(1600, 1000 - 100);
  const qreal scale = QApplication::primaryScreen()->devicePixelRatio();
  QCOMPARE(scale, 2.0);
  for (const DialogCase& c : kDialogs) {
    World w;
    std::unique_ptr<QDialog> d = c.make(w);
    d->show();
    const QSize least = d->minimumSizeHint().expandedTo(d->minimumSize()) * scale;
    QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
             qPrintable(QString("%1 needs at least %2x%3").arg(c.name).arg(least.width()).arg(least.height())));
    d->hide();
  }
}

int main(int argc, char** argv) {
  // Before the application exists: every size is measured at 200%.
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  QApplication::setFont(QFont("DejaVu Sans", 10));
  KeyboardTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "keyboard_test.moc"

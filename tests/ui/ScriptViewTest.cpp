// The script view: exact text for the worker, batched display, typing rules, find.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <atomic>
#include <thread>

#include "run/ScreenPalette.h"
#include "run/ScriptOutput.h"
#include "shell/ui/FindBox.h"
#include "shell/ui/ScriptPrinter.h"
#include "shell/ui/ScriptView.h"

using namespace mv;

namespace {

// The shade a script colour takes in the view: on the light test palette the red is deepened.
QColor Shown(const QWidget& view, Color stored) {
  const QColor base = view.palette().color(QPalette::Base);
  const Color c = ScreenPalette::Shown(stored, {uint8_t(base.red()), uint8_t(base.green()), uint8_t(base.blue())});
  return QColor(c.r, c.g, c.b);
}

QColor ColorAt(const QTextDocument* doc, int position) {
  QTextCursor c(const_cast<QTextDocument*>(doc));
  c.setPosition(position);
  c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
  return c.charFormat().foreground().color();
}

}  // namespace

class ScriptViewTest : public QObject {
  Q_OBJECT
 private slots:
  void workerInsertsAreExactAtOnceAndShownInBatches();
  void emptyFromWorkerDiscardsWhatWasNotShown();
  void fontChangeKeepsColours();
  void typingWhileReadOnly_data();
  void typingWhileReadOnly();
  void userEditReachesTheExactText();
  void findWrapsBothWays();
  void darkPaletteShowsReadableShades();
  void printsWithOneInchMargins();
  void exportsPdfWithoutReplacingOnFailure();
};

void ScriptViewTest::workerInsertsAreExactAtOnceAndShownInBatches() {
  ScriptView view;
  std::atomic<int> wrongCounts{0};
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) {
      view.Insert("REM  ", ScriptOutput::colorRemarkMarker);
      view.Insert("line " + std::to_string(i) + "\r\n", ScriptOutput::colorSql);
      if (view.LineCount() != i + 2) ++wrongCounts;
    }
  });
  worker.join();
  QCOMPARE(wrongCounts.load(), 0);
  QCOMPARE(view.Line(1999), std::string("REM  line 1999\r\n"));
  // Nothing reached the widget from the worker: the UI thread shows it when it drains.
  QVERIFY(view.HasPending());
  QCOMPARE(view.document()->blockCount(), 1);
  QTRY_VERIFY(!view.HasPending());
  QCOMPARE(view.document()->blockCount(), 2001);
  const QTextBlock last = view.document()->findBlockByNumber(1999);
  QCOMPARE(last.text(), QString("REM  line 1999"));
  QCOMPARE(ColorAt(view.document(), last.position()), QColor(130, 8, 54));
  QCOMPARE(ColorAt(view.document(), last.position() + 5), Shown(view, ScriptOutput::colorSql));
}

void ScriptViewTest::emptyFromWorkerDiscardsWhatWasNotShown() {
  ScriptView view;
  view.Insert("shown\r\n", ScriptOutput::colorText);
  QCOMPARE(view.toPlainText(), QString("shown\n"));
  std::thread worker([&] {
    view.Insert("flushed to a file\r\n", ScriptOutput::colorSql);
    view.Empty();
    view.Insert("after", ScriptOutput::colorName);
  });
  worker.join();
  QCOMPARE(view.WholeText(), std::string("after"));
  QCOMPARE(view.LineCount(), 1L);
  view.Drain();
  QCOMPARE(view.toPlainText(), QString("after"));
  QCOMPARE(ColorAt(view.document(), 0), QColor(42, 42, 255));

  // An auto-save empties the window many times a second: between two looks the widget shows
  // the tail of what followed the emptying, and everything when it is asked for.
  std::thread([&] {
    view.Empty();
    for (int i = 0; i < 800; ++i) view.Insert("line " + std::to_string(i) + "\r\n", ScriptOutput::colorSql);
  }).join();
  QTRY_VERIFY(view.toPlainText().endsWith("line 799\n"));
  QCOMPARE(view.document()->blockCount(), ScriptView::kShownTail);
  QCOMPARE(view.LineCount(), 801L);
  view.Drain();
  QCOMPARE(view.document()->blockCount(), 801);
  QVERIFY(view.toPlainText().startsWith("line 0\nline 1\n"));
}

void ScriptViewTest::fontChangeKeepsColours() {
  ScriptView view;
  view.Insert("name", ScriptOutput::colorName);
  view.Insert(" sql", ScriptOutput::colorSql);
  ScriptFont f;
  f.face = "DejaVu Sans Mono";
  f.pointSize = 14;
  f.bold = true;
  view.SetFont(f);
  QCOMPARE(view.document()->defaultFont().pointSizeF(), 14.0);
  QVERIFY(view.document()->defaultFont().bold());
  QCOMPARE(ColorAt(view.document(), 0), QColor(42, 42, 255));
  QCOMPARE(ColorAt(view.document(), 5), Shown(view, ScriptOutput::colorSql));
  // Emptying the window at a run's start keeps the font for the next text.
  view.Empty();
  view.Insert("x", ScriptOutput::colorText);
  QCOMPARE(view.document()->defaultFont().pointSizeF(), 14.0);
}

void ScriptViewTest::typingWhileReadOnly_data() {
  QTest::addColumn<bool>("readOnly");
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("ctrl");
  QTest::addColumn<QString>("expected");
  QTest::newRow("letter, read only") << true << int(Qt::Key_X) << false << "abc";
  QTest::newRow("enter, read only") << true << int(Qt::Key_Return) << false << "abc";
  QTest::newRow("delete, read only") << true << int(Qt::Key_Delete) << false << "ab";
  QTest::newRow("backspace, read only") << true << int(Qt::Key_Backspace) << false << "ac";
  QTest::newRow("letter, editable") << false << int(Qt::Key_X) << false << "abxc";
  // Ctrl+K is Skip, not the editor's delete to the end of the line.
  QTest::newRow("ctrl+k, editable") << false << int(Qt::Key_K) << true << "abc";
}

void ScriptViewTest::typingWhileReadOnly() {
  QFETCH(bool, readOnly);
  QFETCH(int, key);
  QFETCH(bool, ctrl);
  QFETCH(QString, expected);
  ScriptView view;
  view.Insert("abc", ScriptOutput::colorText);
  view.SetIgnoreTyping(readOnly);
  QTextCursor c = view.textCursor();
  c.setPosition(2);
  view.setTextCursor(c);
  QTest::keyClick(&view, Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
  QCOMPARE(view.toPlainText(), expected);
  // The run's own output still lands while typing is ignored.
  view.Insert("\r\nmore", ScriptOutput::colorSql);
  QCOMPARE(view.toPlainText(), expected + "\nmore");
}

void ScriptViewTest::userEditReachesTheExactText() {
  ScriptView view;
  view.Insert("select 1\r\n", ScriptOutput::colorSql);
  view.Insert("go", ScriptOutput::colorRemark);
  view.moveCursor(QTextCursor::End);
  QTest::keyClicks(&view, "!");
  QCOMPARE(view.WholeText(), std::string("select 1\r\ngo!"));
  QCOMPARE(view.LineCount(), 2L);
  QCOMPARE(view.Line(0), std::string("select 1\r\n"));
}

void ScriptViewTest::findWrapsBothWays() {
  ScriptView view;
  view.Insert("alpha beta\r\ngamma\r\nbeta", ScriptOutput::colorText);
  std::vector<std::string> asked;
  Host::Answer answer = Host::Answer::Yes;
  FindBox box(view, [&](const std::string& text, Host::Buttons) {
    asked.push_back(text);
    return answer;
  });
  box.Open();
  const std::string wrap = "Mervale has reached the end of the script. Do you wish to continue from the top?";
  const std::string missing = "Could not find specified text";

  struct Step {
    const char* what;
    Host::Answer answer;
    bool found;
    int selectionStart;
    std::vector<std::string> asked;
  };
  // "gamma" occurs once: found, then the end and after Yes the same one again; after No nothing.
  // A text that does not occur: the message each time, searching from the top again.
  const std::vector<Step> steps = {
      {"gamma", Host::Answer::Yes, true, 11, {}},        {"gamma", Host::Answer::Yes, true, 11, {wrap}},
      {"gamma", Host::Answer::No, false, 11, {wrap}},    {"beta", Host::Answer::Yes, true, 17, {}},
      {"beta", Host::Answer::Yes, true, 6, {wrap}},      {"delta", Host::Answer::Yes, false, 6, {wrap, missing}},
      {"delta", Host::Answer::Yes, false, 6, {missing}},
  };
  for (const Step& s : steps) {
    if (box.TextField()->text() != s.what) box.TextField()->setText(s.what);
    asked.clear();
    answer = s.answer;
    QCOMPARE(box.FindNext(), s.found);
    QCOMPARE(asked, s.asked);
    QCOMPARE(view.textCursor().selectionStart(), s.selectionStart);
  }
  // Match case and whole word come from the box.
  box.Open();
  box.TextField()->setText("BETA");
  box.MatchCase()->setChecked(true);
  asked.clear();
  QVERIFY(!box.FindNext());
  box.MatchCase()->setChecked(false);
  box.WholeWord()->setChecked(true);
  box.TextField()->setText("bet");
  QVERIFY(!box.FindNext());
  QCOMPARE(asked, std::vector<std::string>({missing, missing}));
}

void ScriptViewTest::darkPaletteShowsReadableShades() {
  ScriptView view;
  const Color colours[] = {ScriptOutput::colorRemarkMarker, ScriptOutput::colorRemark,  ScriptOutput::colorName,
                           ScriptOutput::colorSql,          ScriptOutput::colorMessage, ScriptOutput::colorText};
  for (const Color& c : colours) view.Insert("ab", c);
  const std::string rtf = view.Rtf();
  QPalette dark = view.palette();
  dark.setColor(QPalette::Base, QColor(42, 42, 42));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  view.setPalette(dark);
  const Color base{42, 42, 42};
  for (int i = 0; i < 6; ++i) {
    const QColor shown = ColorAt(view.document(), 2 * i);
    QCOMPARE(shown, Shown(view, colours[i]));
    const Color s{uint8_t(shown.red()), uint8_t(shown.green()), uint8_t(shown.blue())};
    QVERIFY2(ScreenPalette::Contrast(s, base) >= 4.5, qPrintable(shown.name()));
  }
  // The script keeps its own colours: the saved RTF is the same, also after the user types.
  QCOMPARE(view.Rtf(), rtf);
  view.SetIgnoreTyping(false);
  view.moveCursor(QTextCursor::End);
  QTest::keyClick(&view, Qt::Key_Z);
  QCOMPARE(view.Rtf(), rtf.substr(0, rtf.size() - 1) + "z}");
}

namespace {

int PdfPages(const QString& path) {
  QFile pdf(path);
  if (!pdf.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = pdf.readAll();
  return int(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "));
}

}  // namespace

void ScriptViewTest::printsWithOneInchMargins() {
  // A script that fits on a page prints one page; a long one continues page after page, and
  // so does one long line, which wraps rather than running off the right margin.
  const struct {
    int lines;
    int repeat;  // times the statement is repeated on one line
    int minPages, maxPages;
  } cases[] = {{3, 1, 1, 1}, {400, 1, 3, 12}, {1, 1200, 3, 12}};
  for (const auto& c : cases) {
    ScriptView view;
    for (int i = 0; i < c.lines; ++i) {
      std::string line;
      for (int r = 0; r < c.repeat; ++r) line += "INSERT INTO t VALUES (" + std::to_string(i) + ") NOT NULL , ";
      view.Insert(line + "\r\n", {255, 0, 0});
    }
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("script.pdf"));
    QCOMPARE(PrintScript(*view.document(), printer), std::string());
    QCOMPARE(printer.pageLayout().margins(QPageLayout::Inch), QMarginsF(1, 1, 1, 1));
    QCOMPARE(printer.docName(), QString("Mervale"));
    const int pages = PdfPages(dir.filePath("script.pdf"));
    QVERIFY2(pages >= c.minPages && pages <= c.maxPages, QByteArray::number(pages));
  }
}

void ScriptViewTest::exportsPdfWithoutReplacingOnFailure() {
  ScriptView view;
  for (int i = 0; i < 200; ++i) view.Insert("INSERT INTO t VALUES (" + std::to_string(i) + ");\r\n", {255, 0, 0});
  QTemporaryDir dir;
  const std::string path = dir.filePath("script.pdf").toStdString();
  // Written whole and moved into place: an earlier file is replaced, nothing is left beside it.
  QFile old(QString::fromStdString(path));
  QVERIFY(old.open(QIODevice::WriteOnly));
  old.write("an older export");
  old.close();
  QCOMPARE(ExportScriptPdf(*view.document(), path), std::string());
  QFile pdf(QString::fromStdString(path));
  QVERIFY(pdf.open(QIODevice::ReadOnly));
  QVERIFY(pdf.read(5) == "%PDF-");
  const int portrait = PdfPages(QString::fromStdString(path));
  QVERIFY2(portrait >= 2, QByteArray::number(portrait));
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"script.pdf"}));
  // Landscape pages hold fewer lines.
  QCOMPARE(ExportScriptPdf(*view.document(), path, Qt::white, QPageLayout::Landscape), std::string());
  QVERIFY(PdfPages(QString::fromStdString(path)) > portrait);
  // A folder that cannot be written: a message, and the file there is untouched.
  QVERIFY(QDir(dir.path()).mkdir("locked"));
  const QString kept = dir.filePath("locked/script.pdf");
  QFile keep(kept);
  QVERIFY(keep.open(QIODevice::WriteOnly));
  keep.write("kept");
  keep.close();
  QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
  const std::string error = ExportScriptPdf(*view.document(), kept.toStdString());
  QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (::geteuid() != 0) {
    QCOMPARE(error, "Could not write the file " + kept.toStdString() + ".");
    QVERIFY(keep.open(QIODevice::ReadOnly));
    QCOMPARE(keep.readAll(), QByteArray("kept"));
  }
  // A folder that does not exist.
  const std::string nowhere = dir.filePath("missing/script.pdf").toStdString();
  QCOMPARE(ExportScriptPdf(*view.document(), nowhere), "Could not write the file " + nowhere + ".");
  QVERIFY(!QFile::exists(QString::fromStdString(nowhere)));
}

QTEST_MAIN(ScriptViewTest)
#include "ScriptViewTest.moc"

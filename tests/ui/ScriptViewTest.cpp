// The script view: exact text for the worker, batched display, typing rules, find.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <atomic>
#include <chrono>
#include <thread>

#include "run/ScreenPalette.h"
#include "run/ScriptOutput.h"
#include "shell/ui/FindBox.h"
#include "shell/ui/ScriptPrinter.h"
#include "shell/ui/ScriptView.h"

using namespace mv;

class ScriptViewTest : public QObject {
  Q_OBJECT
 private slots:
  void workerInsertsAreExactAtOnceAndShownInBatches();
  void workerStaysWithinTheBound();
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
  // The UI thread takes what the worker wrote at its next look.
  QVERIFY(view.HasPending());
  QTRY_VERIFY(!view.HasPending());
  QCOMPARE(view.verticalScrollBar()->maximum(), 2001 - view.verticalScrollBar()->pageStep());
  const size_t last = view.WholeText().rfind("REM  line 1999");
  QCOMPARE(view.ColorAt(last), ScriptOutput::colorRemarkMarker);
  QCOMPARE(view.ColorAt(last + 5), ScriptOutput::colorSql);
  // The caret sat at the end: the view follows the script.
  QCOMPARE(view.Caret(), view.WholeText().size());
}

void ScriptViewTest::workerStaysWithinTheBound() {
  // A worker that writes while the UI thread does not look waits at the bound, whatever it
  // still has to write, and goes on as soon as the UI thread takes a batch.
  const struct {
    size_t bound;
    int pieces;
  } cases[] = {{64 << 10, 20000}, {1 << 20, 30000}};
  for (const auto& c : cases) {
    ScriptView view;
    view.Shared().SetBound(c.bound);
    const std::string piece(99, 'x');
    std::atomic<int> written{0};
    std::thread worker([&] {
      for (int i = 0; i < c.pieces; ++i) {
        view.Insert(piece + "\n", ScriptOutput::colorSql);
        ++written;
      }
    });
    // No events meanwhile: the UI thread does not look.
    while (view.Shared().Ahead() < c.bound) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QVERIFY2(view.Shared().Ahead() <= c.bound + piece.size() + 1,
             QByteArray::number(qulonglong(view.Shared().Ahead())));
    QVERIFY(written.load() < c.pieces);
    QTRY_COMPARE(written.load(), c.pieces);
    worker.join();
    QCOMPARE(view.LineCount(), long(c.pieces) + 1);
  }
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
  QCOMPARE(view.ColorAt(0), ScriptOutput::colorName);
  QCOMPARE(view.Caret(), size_t(5));
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
  QCOMPARE(view.font().pointSizeF(), 14.0);
  QVERIFY(view.font().bold());
  QCOMPARE(view.ColorAt(0), ScriptOutput::colorName);
  QCOMPARE(view.ColorAt(5), ScriptOutput::colorSql);
  // Emptying the window at a run's start keeps the font for the next text.
  view.Empty();
  view.Insert("x", ScriptOutput::colorText);
  QCOMPARE(view.font().pointSizeF(), 14.0);
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
  view.SetCaret(2);
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
  view.SetCaret(view.WholeText().size());
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
      {"gamma", Host::Answer::Yes, true, 12, {}},        {"gamma", Host::Answer::Yes, true, 12, {wrap}},
      {"gamma", Host::Answer::No, false, 12, {wrap}},    {"beta", Host::Answer::Yes, true, 19, {}},
      {"beta", Host::Answer::Yes, true, 6, {wrap}},      {"delta", Host::Answer::Yes, false, 6, {wrap, missing}},
      {"delta", Host::Answer::Yes, false, 6, {missing}},
  };
  for (const Step& s : steps) {
    if (box.TextField()->text() != s.what) box.TextField()->setText(s.what);
    asked.clear();
    answer = s.answer;
    QCOMPARE(box.FindNext(), s.found);
    QCOMPARE(asked, s.asked);
    QCOMPARE(view.SelectionStart(), size_t(s.selectionStart));
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
  // Solid blocks, so that the middle of a glyph is the pen's colour itself.
  const Color colours[] = {ScriptOutput::colorRemarkMarker, ScriptOutput::colorRemark,  ScriptOutput::colorName,
                           ScriptOutput::colorSql,          ScriptOutput::colorMessage, ScriptOutput::colorText};
  for (const Color& c : colours) {
    ScriptView view;
    view.resize(400, 200);
    view.Insert("\u2588\u2588\u2588\u2588\u2588\u2588\r\n", c);
    const std::string rtf = view.Rtf();
    QPalette dark = view.palette();
    dark.setColor(QPalette::Base, QColor(42, 42, 42));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    view.setPalette(dark);
    view.Drain();
    const Color base{42, 42, 42};
    const Color shade = ScreenPalette::Shown(c, base);
    QVERIFY(ScreenPalette::Contrast(shade, base) >= 4.5);
    const QImage shot = view.viewport()->grab().toImage();
    bool painted = false;
    for (int y = 0; y < shot.height() && !painted; ++y)
      for (int x = 0; x < shot.width() && !painted; ++x)
        painted = shot.pixelColor(x, y) == QColor(shade.r, shade.g, shade.b);
    QVERIFY2(painted, qPrintable(QColor(shade.r, shade.g, shade.b).name()));
    // The script keeps its own colours: the saved RTF is the same.
    QCOMPARE(view.Rtf(), rtf);
  }
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
    QCOMPARE(PrintScript(*view.PrintDocument(), printer), std::string());
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
  QCOMPARE(ExportScriptPdf(*view.PrintDocument(), path), std::string());
  QFile pdf(QString::fromStdString(path));
  QVERIFY(pdf.open(QIODevice::ReadOnly));
  QVERIFY(pdf.read(5) == "%PDF-");
  const int portrait = PdfPages(QString::fromStdString(path));
  QVERIFY2(portrait >= 2, QByteArray::number(portrait));
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"script.pdf"}));
  // Landscape pages hold fewer lines.
  QCOMPARE(ExportScriptPdf(*view.PrintDocument(), path, Qt::white, QPageLayout::Landscape), std::string());
  QVERIFY(PdfPages(QString::fromStdString(path)) > portrait);
  // A folder that cannot be written: a message, and the file there is untouched.
  QVERIFY(QDir(dir.path()).mkdir("locked"));
  const QString kept = dir.filePath("locked/script.pdf");
  QFile keep(kept);
  QVERIFY(keep.open(QIODevice::WriteOnly));
  keep.write("kept");
  keep.close();
  QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
  const std::string error = ExportScriptPdf(*view.PrintDocument(), kept.toStdString());
  QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (::geteuid() != 0) {
    QCOMPARE(error, "Could not write the file " + kept.toStdString() + ".");
    QVERIFY(keep.open(QIODevice::ReadOnly));
    QCOMPARE(keep.readAll(), QByteArray("kept"));
  }
  // A folder that does not exist.
  const std::string nowhere = dir.filePath("missing/script.pdf").toStdString();
  QCOMPARE(ExportScriptPdf(*view.PrintDocument(), nowhere), "Could not write the file " + nowhere + ".");
  QVERIFY(!QFile::exists(QString::fromStdString(nowhere)));
}

QTEST_MAIN(ScriptViewTest)
#include "ScriptViewTest.moc"

#include "shell/ui/ScriptPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <cstdio>
#include <memory>

#include "run/ScreenPalette.h"

namespace mv {

namespace {

const char* const kGeneralError =
    "There was a general printing error, please check printer is working properly, connected, on line etc.";

Color ToColor(const QColor& c) {
  return Color{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

// Every piece in the shade it takes on white paper.
void ForPaper(QTextDocument& doc, const QColor& shownOn) {
  const Color from = ToColor(shownOn), paper{255, 255, 255};
  QTextCursor c(&doc);
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      const Color shown = ToColor(frag.charFormat().foreground().color());
      const Color onPaper = ScreenPalette::Shown(ScreenPalette::Stored(shown, from), paper);
      if (onPaper == shown) continue;
      c.setPosition(frag.position());
      c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
      QTextCharFormat f;
      f.setForeground(QColor(onPaper.r, onPaper.g, onPaper.b));
      c.mergeCharFormat(f);
    }
  }
}

}  // namespace

std::string PrintScript(const QTextDocument& script, QPrinter& printer, const QColor& shownOn) {
  printer.setDocName(QStringLiteral("Mervale"));
  printer.setFullPage(false);
  printer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
  // Laid out again for the printer's page, so that the page breaks are the printer's.
  std::unique_ptr<QTextDocument> doc(script.clone());
  ForPaper(*doc, shownOn);
  doc->documentLayout()->setPaintDevice(&printer);
  doc->setDefaultFont(script.defaultFont());
  // The window shows long lines unwrapped; on paper the part past the margin would be lost.
  QTextOption option = doc->defaultTextOption();
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  doc->setDefaultTextOption(option);
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  doc->setPageSize(page.size());
  QTextFrameFormat root = doc->rootFrame()->frameFormat();
  root.setMargin(0);
  doc->rootFrame()->setFrameFormat(root);

  QPainter painter;
  if (!painter.begin(&printer)) return kGeneralError;
  const int pages = doc->pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer.newPage()) {
      painter.end();
      return kGeneralError;
    }
    painter.save();
    painter.translate(0, -i * page.height());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = QRectF(0, i * page.height(), page.width(), page.height());
    painter.setClipRect(ctx.clip);
    doc->documentLayout()->draw(&painter, ctx);
    painter.restore();
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error) return kGeneralError;
  return {};
}

std::string ExportScriptPdf(const QTextDocument& script, const std::string& path, const QColor& shownOn,
                            QPageLayout::Orientation orientation) {
  const QString target = QString::fromLocal8Bit(path.c_str());
  const QString folder = QFileInfo(target).absolutePath();
  const std::string cannot = "Could not write the file " + path + ".";
  // A name in the target's folder, so that the final rename never crosses file systems.
  QTemporaryFile temp(QDir(folder).filePath(QStringLiteral(".mervale-pdf-XXXXXX")));
  if (!temp.open()) return cannot;
  temp.close();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(temp.fileName());
  printer.setPageOrientation(orientation);
  const std::string error = PrintScript(script, printer, shownOn);
  if (!error.empty()) return error;
  // QPrinter reports no write error of its own: an empty file is a failed export.
  if (QFileInfo(temp.fileName()).size() == 0) return cannot;
  if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
    return cannot;
  temp.setAutoRemove(false);
  // QTemporaryFile creates its file private to the user; a PDF is shared as a document is.
  QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  return {};
}

}  // namespace mv

#include "shell/ui/ScriptPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextFrame>
#include <memory>

namespace mv {

std::string PrintScript(const QTextDocument& script, QPrinter& printer) {
  printer.setDocName(QStringLiteral("Mervale"));
  printer.setFullPage(false);
  printer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
  // Laid out again for the printer's page, so that the page breaks are the printer's.
  std::unique_ptr<QTextDocument> doc(script.clone());
  doc->documentLayout()->setPaintDevice(&printer);
  doc->setDefaultFont(script.defaultFont());
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  doc->setPageSize(page.size());
  QTextFrameFormat root = doc->rootFrame()->frameFormat();
  root.setMargin(0);
  doc->rootFrame()->setFrameFormat(root);

  QPainter painter;
  if (!painter.begin(&printer))
    return "There was a general printing error, please check printer is working properly, connected, on line etc.";
  const int pages = doc->pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer.newPage()) {
      painter.end();
      return "There was a general printing error, please check printer is working properly, connected, on line etc.";
    }
    painter.save();
    painter.translate(0, -i * page.height());
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = QRectF(0, i * page.height(), page.width(), page.height());
    painter.setClipRect(ctx.clip);
    doc->documentLayout()->draw(&painter, ctx);
    painter.restore();
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error)
    return "There was a general printing error, please check printer is working properly, connected, on line etc.";
  return {};
}

}  // namespace mv
